// Shared set-up of the page tests: headless Chromium with a fresh profile, the
// assembled page folder served through a route handler (anything else fails the
// test), and a recording `external` object injected before the page's scripts.
"use strict";

const fs = require("fs");
const os = require("os");
const path = require("path");

const SKIP = 77;
const CHROMIUM = "/usr/bin/chromium";
const ORIGIN = "http://page.nestora.invalid";
const VIEWPORT = { width: 836, height: 593 };
const CHROMIUM_FLAGS = [
  "--headless",
  "--no-sandbox",
  "--disable-gpu",
  "--disable-background-networking",
  "--disable-component-update",
  "--disable-sync",
  "--no-first-run",
];

const CONTENT_TYPES = {
  ".html": "text/html; charset=utf-8",
  ".css": "text/css; charset=utf-8",
  ".js": "application/javascript; charset=utf-8",
  ".gif": "image/gif",
  ".jpg": "image/jpeg",
};

function requireEnv(name) {
  const value = process.env[name];
  if (!value) {
    process.stderr.write(`page tests: ${name} is not set (ctest passes it)\n`);
    process.exit(1);
  }
  return value;
}

function skipWithoutChromium() {
  if (!fs.existsSync(CHROMIUM)) {
    process.stdout.write(`SKIP: ${CHROMIUM} is missing; install the chromium package to run the page tests\n`);
    process.exit(SKIP);
  }
}

skipWithoutChromium();
const SOURCE_DIR = requireEnv("NESTORA_SOURCE_DIR");
const PAGE_DIR = requireEnv("NESTORA_PAGE_DIR");
const ARTIFACT_DIR = requireEnv("NESTORA_ARTIFACT_DIR");
const { chromium } = require(path.join(SOURCE_DIR, "node_modules", "playwright-core"));

// The recording stand-in for the program's `external` object.
function externalStub(userType) {
  window.__calls = [];
  window.__userType = userType;
  const record = (name) => (...args) => {
    window.__calls.push([name, ...args]);
  };
  window.external = {
    install: record("install"),
    fix: record("fix"),
    check: record("check"),
    stop: record("stop"),
    setusertype: record("setusertype"),
    uninstall: record("uninstall"),
    link: record("link"),
    getusertype() {
      window.__calls.push(["getusertype"]);
      return window.__userType;
    },
  };
}

// Maps a request under ORIGIN to a file of the page folder; null when the path
// leaves the folder.
function pageFile(url) {
  const relative = decodeURIComponent(new URL(url).pathname).replace(/^\/+/, "");
  const file = path.resolve(PAGE_DIR, relative);
  return file.startsWith(path.resolve(PAGE_DIR) + path.sep) ? file : null;
}

class PageSession {
  constructor(context, profileDir) {
    this.context = context;
    this.profileDir = profileDir;
    this.served = [];
    this.problems = [];
  }

  async serve() {
    await this.context.route("**/*", (route) => {
      const url = route.request().url();
      const file = url.startsWith(ORIGIN + "/") ? pageFile(url) : null;
      if (file === null) {
        this.problems.push("request outside the page folder: " + url);
        return route.abort();
      }
      if (!fs.existsSync(file)) {
        this.problems.push("missing in the page folder: " + url);
        return route.fulfill({ status: 404, body: "" });
      }
      this.served.push(path.relative(PAGE_DIR, file));
      const type = CONTENT_TYPES[path.extname(file).toLowerCase()] || "application/octet-stream";
      return route.fulfill({ status: 200, contentType: type, body: fs.readFileSync(file) });
    });
  }

  // Opens the page with `getusertype()` answering userType; resolves once the
  // page's document-ready script has run.
  async open(userType = 1) {
    const page = await this.context.newPage();
    const errors = [];
    page.on("pageerror", (error) => errors.push(error.message));
    page.on("console", (message) => {
      if (message.type() === "error") errors.push(message.text());
    });
    page.errors = errors;
    await page.addInitScript(externalStub, userType);
    await page.goto(ORIGIN + "/index.html");
    await page.waitForFunction(() => window.jQuery !== undefined && jQuery.isReady === true);
    return page;
  }

  async close() {
    await this.context.close();
    fs.rmSync(this.profileDir, { recursive: true, force: true });
  }
}

async function startSession() {
  const profileDir = fs.mkdtempSync(path.join(os.tmpdir(), "nestora-page-chromium-"));
  const context = await chromium.launchPersistentContext(profileDir, {
    executablePath: CHROMIUM,
    headless: true,
    args: CHROMIUM_FLAGS,
    viewport: VIEWPORT,
    deviceScaleFactor: 1,
    locale: "zh-CN",
  });
  const session = new PageSession(context, profileDir);
  await session.serve();
  return session;
}

// The calls the page made to `external` since the last reset.
async function takeCalls(page) {
  return page.evaluate(() => window.__calls.splice(0));
}

// Text and colour of every element matching the selector.
async function cells(page, selector) {
  return page.$$eval(selector, (elements) =>
    elements.map((element) => {
      const blue = element.classList.contains("co-blue");
      const orange = element.classList.contains("co-yellow");
      return {
        text: element.textContent,
        colour: blue && !orange ? "blue" : orange && !blue ? "orange" : blue ? "both" : null,
      };
    }));
}

// The buttons inside one cell: their labels and what they call.
async function buttons(page, selector) {
  return page.$$eval(selector + " input[type=button]", (inputs) =>
    inputs.map((input) => ({ value: input.value, onclick: input.getAttribute("onclick"), className: input.className })));
}

function artifactPath(name) {
  fs.mkdirSync(ARTIFACT_DIR, { recursive: true });
  return path.join(ARTIFACT_DIR, name);
}

module.exports = { startSession, takeCalls, cells, buttons, artifactPath, PAGE_DIR, VIEWPORT };

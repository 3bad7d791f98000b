// The page's layout at the window's size (836 x 593): no scroll bars, the sizes
// the program's window relies on, the pictures' sizes, screenshots of every tab
// and the guide (kept in test-artifacts/page/), and no request outside the page
// folder.
"use strict";

const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const fs = require("fs");
const path = require("path");
const { startSession, artifactPath, PAGE_DIR, VIEWPORT } = require("./harness");

let session;
let page;
before(async () => {
  session = await startSession();
  page = await session.open(2);
  await preloadPictures();
});
after(async () => {
  await session.close();
});

const PICTURES = [
  ["appbg.jpg", 830, 565], ["sps.gif", 480, 320], ["a003.gif", 71, 18], ["a001.gif", 71, 18],
  ["a002.gif", 71, 18], ["loading.gif", 200, 12], ["graybg.gif", 814, 103], ["brand.gif", 391, 137],
  ["longbrand.gif", 672, 117], ["superscan.gif", 782, 358], ["help.gif", 782, 387],
  ["tipbg.gif", 530, 295], ["tipbg1.gif", 368, 138], ["pic1.gif", 138, 61], ["pic2.gif", 138, 61],
];

// Loads every picture once, so that panels shown later paint at once.
async function preloadPictures() {
  return page.evaluate((names) => Promise.all(names.map((name) => new Promise((resolve) => {
    const image = new Image();
    image.onload = () => resolve({ name, width: image.naturalWidth, height: image.naturalHeight });
    image.onerror = () => resolve({ name, width: 0, height: 0 });
    image.src = "images/" + name;
  }))), PICTURES.map(([name]) => name));
}

async function showTab(index, inner) {
  await page.evaluate(([tab, innerTab]) => {
    if (jQuery("#guide").is(":visible")) save(-1);
    showTab(tab);
    if (innerTab !== undefined) showInner(innerTab);
  }, [index, inner]);
}

async function visibleRects(selector) {
  return page.$$eval(selector, (elements) => elements
    .filter((e) => e.offsetParent !== null || getComputedStyle(e).position === "fixed")
    .map((e) => {
      const r = e.getBoundingClientRect();
      return { left: r.left, top: r.top, width: r.width, height: r.height };
    }));
}

function near(actual, expected, what) {
  assert.ok(Math.abs(actual - expected) <= 1, `${what}: ${actual}, expected ${expected}`);
}

async function screenshot(name) {
  await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
  await page.screenshot({ path: artifactPath(name + ".png") });
}

test("every picture has its listed size and format", async () => {
  const loaded = await preloadPictures();
  for (const [name, width, height] of PICTURES) {
    const found = loaded.find((entry) => entry.name === name);
    assert.deepEqual([found.width, found.height], [width, height], name);
    const magic = fs.readFileSync(path.join(PAGE_DIR, "images", name)).subarray(0, 3);
    if (name.endsWith(".gif")) assert.equal(magic.toString("latin1"), "GIF", name);
    else assert.deepEqual([...magic], [0xff, 0xd8, 0xff], name);
  }
});

test("no tab and no state makes the window scroll; the wheel scrolls nothing", async () => {
  const views = [[0], [1, 0], [1, 1], [1, 2], [2], [3]];
  for (const [tab, inner] of views) {
    await showTab(tab, inner);
    const extent = await page.evaluate(() => ({
      scrollWidth: document.documentElement.scrollWidth,
      scrollHeight: document.documentElement.scrollHeight,
      clientWidth: document.documentElement.clientWidth,
      clientHeight: document.documentElement.clientHeight,
      innerWidth: window.innerWidth,
      innerHeight: window.innerHeight,
    }));
    assert.deepEqual([extent.clientWidth, extent.clientHeight], [VIEWPORT.width, VIEWPORT.height], `tab ${tab}`);
    assert.deepEqual([extent.innerWidth, extent.innerHeight], [VIEWPORT.width, VIEWPORT.height]);
    assert.ok(extent.scrollWidth <= extent.clientWidth && extent.scrollHeight <= extent.clientHeight,
      `tab ${tab}/${inner}: content ${extent.scrollWidth} x ${extent.scrollHeight}`);
  }
  await showTab(0);
  await page.mouse.move(400, 300);
  await page.mouse.wheel(0, 600);
  await page.mouse.wheel(300, 0);
  await page.waitForTimeout(100);
  assert.deepEqual(await page.evaluate(() => [window.scrollX, window.scrollY]), [0, 0]);
});

test("the window's elements have their sizes and places", async () => {
  await showTab(0);
  const main = (await visibleRects("#main"))[0];
  assert.deepEqual([main.width, main.height], [830, 565]);
  near(main.left, (VIEWPORT.width - 830) / 2, "area left");

  const tabs = await visibleRects("#tabs .tab");
  assert.equal(tabs.length, 4);
  tabs.forEach((tab, i) => {
    near(tab.width, 121, "tab width");
    near(tab.height, 42, "tab height");
    near(tab.top - main.top, 70, "tab bar top");
    near(tab.left - main.left, 18 + 121 * i, "tab left");
  });
  const titleButtons = await visibleRects("#titlebtns img");
  assert.equal(titleButtons.length, 3);
  near(titleButtons[0].left - main.left, 560, "title buttons left");
  for (const button of titleButtons) assert.deepEqual([button.width, button.height], [71, 18]);

  const sizes = [
    [0, undefined, "#panels", 814, 419, 1],
    [0, undefined, ".progress", 235, 14, 1],
    [0, undefined, "#scan .box", 371, 117, 4],
    [0, undefined, ".btn-big", 90, 22, 2],
    [0, undefined, ".btn-little", 44, 19, 1],
    [1, 0, "#super", 782, 387, 1],
    [1, 0, ".innertab", 103, 28, 3],
    [1, 0, ".progress", 235, 14, 1],
    [1, 1, ".progress", 235, 14, 1],
    [1, 2, ".progress", 235, 14, 1],
    [2, undefined, ".progress", 235, 14, 1],
    [2, undefined, "#install .longbox", 602, 87, 2],
    [3, undefined, "#faq", 712, 317, 1],
  ];
  for (const [tab, inner, selector, width, height, count] of sizes) {
    await showTab(tab, inner);
    const rects = await visibleRects(selector);
    assert.equal(rects.length, count, `visible ${selector} on tab ${tab}`);
    for (const rect of rects) {
      near(rect.width, width, `${selector} width`);
      near(rect.height, height, `${selector} height`);
    }
  }
  await showTab(2);
  const pcHeight = await page.$eval("#install .pc", (e) => e.getBoundingClientRect().height);
  near(pcHeight, 12, "progress fill height");

  await showTab(0);
  await page.evaluate(() => showguide());
  const guide = (await visibleRects("#guide"))[0];
  near(guide.width, 530, "guide width");
  near(guide.height, 295, "guide height");
  near(guide.top, 140, "guide top");
  near(guide.left, (VIEWPORT.width - 530) / 2, "guide centred");
  const dim = (await visibleRects("#tip_body"))[0];
  assert.deepEqual([dim.left, dim.top, dim.width, dim.height], [0, 0, VIEWPORT.width, VIEWPORT.height]);
  const dimStyle = await page.$eval("#tip_body", (e) => [getComputedStyle(e).backgroundColor, getComputedStyle(e).opacity]);
  assert.deepEqual(dimStyle, ["rgb(0, 0, 0)", "0.5"]);
  for (const tile of await visibleRects(".tile")) near(tile.width, 184, "tile width");
  await page.evaluate(() => save(-1));
});

function fillScan(abnormal) {
  return page.evaluate((bad) => {
    setState(0, 0, 100);
    setState(0, 2, 1999);
    setState(1, 1, "Windows 7 旗舰版 Service Pack 1");
    setState(1, 8, "11.0.9600.19180");
    for (const item of [2, 3, 4, 5, 7, 9, 10, 11]) setState(1, item, bad && [2, 3, 9, 5].includes(item) ? 1 : 0);
    setState(1, 6, bad ? 1 : "ebank.tinglanbank.example");
    setState(2, 1, bad ? 5 : 0);
    setState(2, 2, bad ? 2 : 0);
    setState(2, 4, bad ? (0x80000005 | 0) : 0);
    setState(0, 3, bad ? 1 : 0);
  }, abnormal);
}

test("screenshots of every tab, the guide and the scan panel in both verdicts", async () => {
  const shots = [
    ["scan-start", 0], ["advanced-system", 1, 0], ["advanced-controls", 1, 1],
    ["advanced-usbkey", 1, 2], ["install", 2], ["help", 3],
  ];
  for (const [name, tab, inner] of shots) {
    await showTab(tab, inner);
    await screenshot(name);
  }
  await showTab(0);
  await page.evaluate(() => showguide());
  await page.hover(".tile2");
  await screenshot("guide");
  await page.evaluate(() => save(-1));

  await fillScan(false);
  await page.evaluate(() => {
    setState(800, 2, "HT20170001");
    setState(802, 3, 0);
    setState(802, 6, 1);
    setState(802, 8, "1.2.3.4");
  });
  await showTab(0);
  await screenshot("scan-normal");
  await fillScan(true);
  await screenshot("scan-abnormal");
  await showTab(2);
  await screenshot("install-filled");
  await showTab(1, 2);
  await screenshot("advanced-usbkey-filled");
  for (const name of ["scan-normal", "scan-abnormal", "guide"]) {
    assert.ok(fs.statSync(artifactPath(name + ".png")).size > 10000, `${name}.png written`);
  }
});

test("boxes hold their rows, also with every repair and install button shown", async () => {
  await page.evaluate(() => {
    for (const item of [2, 3, 4, 9, 10, 11]) setState(1, item, 1);
    setState(1, 1, "Microsoft Windows Server 2008 R2 Enterprise Service Pack 1");
    setState(1, 6, "a-rather-long-dns-server-name.bank.example");
    setState(2, 1, 0);
    setState(2, 2, 5);
    setState(2, 4, 2);
    setState(0, 3, 1);
    setState(800, 8, "2.1.0.5");
  });
  for (const [tab, selector] of [[0, "#scan .box"], [2, "#install .longbox"], [3, "#faq"], [1, "#systemScan .lines"]]) {
    await showTab(tab);
    const overflow = await page.$$eval(selector, (boxes) => boxes.map((box) =>
      [box.scrollWidth - box.clientWidth, box.scrollHeight - box.clientHeight]));
    for (const [x, y] of overflow) {
      assert.ok(x <= 0 && y <= 0, `${selector} overflows by ${x} x ${y}`);
    }
  }
  // A button on a box's last row keeps clear of the frame below it.
  await showTab(0);
  const gaps = await page.$$eval("#scan .box", (boxes) => boxes.flatMap((box) =>
    [...box.querySelectorAll(".btn")].map((button) =>
      box.getBoundingClientRect().bottom - button.getBoundingClientRect().bottom)));
  assert.ok(gaps.length >= 7, `buttons in the scan boxes: ${gaps.length}`);
  for (const gap of gaps) assert.ok(gap >= 2, `a button ends ${gap} px above its box's bottom`);
});

test("every resource the page loads comes from the page folder", async () => {
  assert.deepEqual(session.problems, []);
  const served = new Set(session.served.map((file) => file.split(path.sep).join("/")));
  for (const file of ["index.html", "css/page.css", "js/page.js", "js/jquery.min.js",
    ...PICTURES.map(([name]) => "images/" + name)]) {
    assert.ok(served.has(file), `${file} served from the page folder`);
  }
  assert.deepEqual(page.errors, []);
});

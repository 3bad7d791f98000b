// Takes the browser library out of the npm package jquery@1.6.2, which wraps it
// in a Node module (dist/node-jquery.js), and writes it as the page's script
// library. Fails unless the text found is jQuery 1.6.2.
//
//   node extract-jquery.js <node-jquery.js> <output file>
"use strict";

const fs = require("fs");
const path = require("path");

const EXPECTED_VERSION = "1.6.2";
const START = "/*!\n * jQuery JavaScript Library v";
const END = "window.jQuery = window.$ = jQuery;\n})(window);\n";

function fail(message) {
  process.stderr.write("extract-jquery: " + message + "\n");
  process.exit(1);
}

function extractLibrary(wrapper) {
  const start = wrapper.indexOf(START);
  const end = wrapper.indexOf(END, start);
  if (start < 0 || end < 0) {
    return "";
  }
  return wrapper.slice(start, end + END.length);
}

function checkVersion(library) {
  const header = library.slice(START.length, library.indexOf("\n", START.length));
  if (header !== EXPECTED_VERSION) {
    fail("header names version " + JSON.stringify(header) + ", expected " + EXPECTED_VERSION);
  }
  const property = /\bjquery: "([^"]+)"/.exec(library);
  if (property === null || property[1] !== EXPECTED_VERSION) {
    fail("jQuery.fn.jquery is not " + EXPECTED_VERSION);
  }
}

function main() {
  if (process.argv.length !== 4) {
    fail("usage: extract-jquery.js <node-jquery.js> <output file>");
  }
  const [source, output] = process.argv.slice(2);
  let wrapper;
  try {
    wrapper = fs.readFileSync(source, "utf8");
  } catch (error) {
    fail("cannot read " + source + ": " + error.message);
  }
  const library = extractLibrary(wrapper.replace(/\r\n/g, "\n"));
  if (library === "") {
    fail("no browser library found in " + source);
  }
  checkVersion(library);
  fs.mkdirSync(path.dirname(output), { recursive: true });
  const temporary = output + ".tmp";
  fs.writeFileSync(temporary, library);
  fs.renameSync(temporary, output);
}

main();

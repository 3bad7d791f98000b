// The page's side of the program contract in a real browser: what setState,
// clearState and showguide show, what the buttons and the guide call, and the
// page's own behaviour (load, tabs, help).
"use strict";

const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const fs = require("fs");
const path = require("path");
const { startSession, takeCalls, cells, buttons, PAGE_DIR } = require("./harness");

let session;
before(async () => {
  session = await startSession();
});
after(async () => {
  await session.close();
});

async function withPage(userType, body) {
  const page = await session.open(userType);
  try {
    await body(page);
    assert.deepEqual(page.errors, [], "script errors on the page");
  } finally {
    await page.close();
  }
  assert.deepEqual(session.problems, [], "requests outside the page folder");
}

async function send(page, calls) {
  await page.evaluate((list) => {
    for (const [name, ...args] of list) window[name](...args);
  }, calls);
}

// Every copy of the selector shows the text in the colour (null: no colour class).
async function expectCells(page, selector, text, colour, copies) {
  const found = await cells(page, selector);
  assert.ok(found.length > 0, `no element ${selector}`);
  if (copies !== undefined) assert.equal(found.length, copies, `copies of ${selector}`);
  for (const cell of found) {
    assert.equal(cell.text, text, `text of ${selector}`);
    if (colour !== undefined) assert.equal(cell.colour, colour, `colour of ${selector}`);
  }
}

// The buttons of a cell, as "label:call"; [] for an empty cell.
async function expectButtons(page, selector, expected) {
  const found = await buttons(page, selector);
  assert.deepEqual(found.map((b) => `${b.value}:${b.onclick}`), expected, `buttons in ${selector}`);
  for (const button of found) assert.equal(button.className, "btn btn-little co-blue");
  if (expected.length === 0) {
    assert.equal(await page.$eval(selector, (e) => e.innerHTML), "", `${selector} emptied`);
  }
}

const ABNORMAL = "不正常";
const NORMAL = "正常";
const VERDICT_OK = "恭喜您，您的电脑已达到使用我行网上银行的环境配置要求，可以放心使用！";
const VERDICT_BAD = "对不起，您的电脑可能不符合我行网上银行的环境配置要求，请立即进行修复！";

test("the page file is UTF-8 with a byte-order mark, XHTML 1.0 Transitional, well-formed", async () => {
  const bytes = fs.readFileSync(path.join(PAGE_DIR, "index.html"));
  assert.deepEqual([...bytes.subarray(0, 3)], [0xef, 0xbb, 0xbf]);
  const text = bytes.subarray(3).toString("utf8");
  assert.match(text, /^<!DOCTYPE html PUBLIC "-\/\/W3C\/\/DTD XHTML 1\.0 Transitional\/\/EN"/);
  await withPage(-1, async (page) => {
    const parseError = await page.evaluate((source) => {
      const doc = new DOMParser().parseFromString(source, "application/xhtml+xml");
      const error = doc.getElementsByTagName("parsererror")[0];
      return error ? error.textContent : "";
    }, text);
    assert.equal(parseError, "");
    assert.equal(await page.title(), "");
    assert.equal(await page.evaluate(() => document.body.id), "CNestoraDlg");
    assert.equal(await page.evaluate(() => document.characterSet), "UTF-8");
    assert.equal(await page.evaluate(() => jQuery.fn.jquery), "1.6.2");
  });
});

test("before any call the page shows its initial texts and 1 percent bars", async () => {
  await withPage(-1, async (page) => {
    await expectCells(page, ".status_check", "正在获取配置", undefined, 5);
    await expectCells(page, ".status_result", "", null, 5);
    await expectCells(page, "#scan .c1", "Windows Server 2003 企业版 sp1");
    await expectCells(page, "#keytype", "飞天诚信");
    await expectCells(page, "#usbkeysn", "");
    const widths = await page.$$eval(".pc", (bars) => bars.map((bar) => parseFloat(getComputedStyle(bar).width)));
    assert.deepEqual(widths, [2, 2, 2, 2, 2]);
    for (const selector of [".c2", ".c5", ".c8", ".i1", ".i2"]) {
      assert.ok((await cells(page, selector)).length >= 2, `${selector} exists on several panels`);
    }
    assert.equal((await cells(page, ".i1")).length, 3);
  });
});

test("progress sets the width of every bar; download progress shares the bars", async () => {
  await withPage(1, async (page) => {
    const widths = () => page.$$eval(".pc", (bars) => bars.map((bar) => parseFloat(getComputedStyle(bar).width)));
    await send(page, [["setState", 0, 0, 100]]);
    assert.deepEqual(await widths(), [233, 233, 233, 233, 233]);
    await send(page, [["setState", 0, 1, 0]]);
    assert.deepEqual(await widths(), [0, 0, 0, 0, 0]);
    await send(page, [["setState", 0, 1, 50]]);
    assert.deepEqual(await widths(), [117, 117, 117, 117, 117]);
    await send(page, [["setState", 0, 0, 101], ["setState", 0, 0, -1], ["setState", 0, 0, "40"]]);
    assert.deepEqual(await widths(), [117, 117, 117, 117, 117]);
  });
});

const STATUS_TEXTS = [
  [1, "安装完毕"], [2, "正在下载"], [3, "正在安装"],
  [1002, "正在检测注册表"], [1003, "正在检测Host文件"], [1004, "正在检测根证书"],
  [1005, "正在检测网络连接"], [1006, "正在检测DNS设置"], [1007, "正在检测网银服务"],
  [1009, "正在检测主页设置"], [1010, "正在检测安全级别设置"], [1011, "正在检测可信站点"],
  [1013, "正在检测网络代理设置"], [1999, "检测完毕"],
  [2002, "正在修复注册表"], [2003, "正在修复Host文件"], [2004, "正在修复根证书"],
  [2009, "正在修复主页设置"], [2010, "正在修复安全级别设置"], [2011, "正在修复可信站点"],
  [2999, "修复完毕"],
];

test("status codes write their text into every status line; others keep the text", async () => {
  await withPage(1, async (page) => {
    for (const [code, text] of STATUS_TEXTS) {
      await send(page, [["setState", 0, 2, code]]);
      await expectCells(page, ".status_check", text, undefined, 5);
    }
    await send(page, [["setState", 0, 2, 1999]]);
    for (const code of [1000, 2012, 1008, 0, 4242]) {
      await send(page, [["setState", 0, 2, code]]);
      await expectCells(page, ".status_check", "检测完毕");
    }
  });
});

test("the verdict is blue only for 0 and switches colour both ways", async () => {
  await withPage(1, async (page) => {
    await send(page, [["setState", 0, 3, 2]]);
    await expectCells(page, ".status_result", VERDICT_BAD, "orange", 5);
    await send(page, [["setState", 0, 3, 0]]);
    await expectCells(page, ".status_result", VERDICT_OK, "blue", 5);
    await send(page, [["setState", 0, 3, -1]]);
    await expectCells(page, ".status_result", VERDICT_BAD, "orange", 5);
  });
});

test("the system name shows the first known name it contains", async () => {
  const cases = [
    ["Microsoft Windows 8.1 专业版", "Windows 8"],
    ["Windows 10 Pro", "Windows 10"],
    ["Windows 7 旗舰版 Service Pack 1", "Windows 7"],
    ["Windows Server 2008 R2 Standard", "Windows Server 2008"],
    ["Microsoft Windows XP Professional", "Windows XP"],
    ["Windows Vista Business", "Windows Vista"],
    ["Windows 2000", "Windows 2000"],
    ["Windows 11 家庭版", "Windows 11 家庭版"],
  ];
  await withPage(1, async (page) => {
    for (const [text, shown] of cases) {
      await send(page, [["setState", 1, 1, text]]);
      await expectCells(page, ".c1", shown, undefined, 2);
    }
    await send(page, [["setState", 1, 8, "11.0.9600.19180"]]);
    await expectCells(page, ".c8", "11.0.9600.19180", undefined, 2);
  });
});

test("repairable items: abnormal adds a 修复 button calling fix(item), normal removes it", async () => {
  await withPage(1, async (page) => {
    for (const item of [2, 3, 4, 9, 10, 11]) {
      await send(page, [["setState", 1, item, 1]]);
      await expectCells(page, `.c${item}`, ABNORMAL, "orange", 2);
      await expectButtons(page, `#f${item}`, [`修复:external.fix(${item});`]);
      await send(page, [["setState", 1, item, 0]]);
      await expectCells(page, `.c${item}`, NORMAL, "blue", 2);
      await expectButtons(page, `#f${item}`, []);
      await send(page, [["setState", 1, item, -7]]);
      await expectCells(page, `.c${item}`, ABNORMAL, "orange", 2);
    }
  });
});

test("network, DNS and service items: 0 normal, other numbers abnormal, texts in blue", async () => {
  await withPage(1, async (page) => {
    for (const item of [5, 6, 7]) {
      await send(page, [["setState", 1, item, 1]]);
      await expectCells(page, `.c${item}`, ABNORMAL, "orange", 2);
      await send(page, [["setState", 1, item, 0]]);
      await expectCells(page, `.c${item}`, NORMAL, "blue", 2);
    }
    await send(page, [["setState", 1, 6, 1], ["setState", 1, 6, "bank-dns.example (10.0.0.53)"]]);
    await expectCells(page, ".c6", "bank-dns.example (10.0.0.53)", "blue", 2);
    await send(page, [["setState", 1, 7, "服务可用"]]);
    await expectCells(page, ".c7", "服务可用", "blue", 2);
    await send(page, [["setState", 1, 5, "not a verdict"]]);
    await expectCells(page, ".c5", NORMAL, "blue", 2);
  });
});

test("control items 1 and 2 follow their state table on all three tabs", async () => {
  await withPage(1, async (page) => {
    await send(page, [["setState", 2, 1, 0]]);
    await expectCells(page, ".i1", "已安装最新版本", "blue", 3);
    await expectButtons(page, "#d1", []);
    await expectButtons(page, "#d6", ["卸载:external.uninstall(1);"]);

    await send(page, [["setState", 2, 1, 2]]);
    await expectCells(page, ".i1", "已安装，但有更新版本", "orange", 3);
    await expectButtons(page, "#d1", ["升级:external.install(1);"]);
    await expectButtons(page, "#d6", ["卸载:external.uninstall(1);"]);

    await send(page, [["setState", 2, 1, 0x40000002]]);
    await expectCells(page, ".i1", "已被禁用", "orange", 3);
    await expectButtons(page, "#d1", []);
    await expectButtons(page, "#d6", ["卸载:external.uninstall(1);"]);

    await send(page, [["setState", 2, 1, 5]]);
    await expectCells(page, ".i1", "未安装", "orange", 3);
    await expectButtons(page, "#d1", ["安装:external.install(1);"]);
    await expectButtons(page, "#d6", ["安装:external.install(1);"]);

    await send(page, [["setState", 2, 1, 6]]);
    await expectCells(page, ".i1", "未安装", "orange", 3);
    await expectButtons(page, "#d1", []);
    await expectButtons(page, "#d6", []);

    await send(page, [["setState", 2, 2, 5, "请安装证书签名控件", "证书签名控件"]]);
    await expectCells(page, ".i2", "未安装", "orange", 3);
    await expectButtons(page, "#d2", ["安装:external.install(2);"]);
    await expectButtons(page, "#d7", ["安装:external.install(2);"]);
    await expectCells(page, ".i1", "未安装", "orange", 3);
  });
});

test("the USB-key driver item follows its state table and fills the detail list", async () => {
  await withPage(2, async (page) => {
    await send(page, [["setState", 2, 3, 0]]);
    await expectCells(page, "#i3", "已安装最新版本", "blue");
    await expectCells(page, "#scan .i3", "已安装最新版本", "blue", 1);
    await expectButtons(page, "#d3", []);
    await expectButtons(page, "#d8", ["卸载:external.uninstall(3);"]);
    await expectCells(page, "#key_800_1", "√");
    await expectCells(page, "#key_800_2", "已安装");
    await expectCells(page, "#key_801_1", "×");
    await expectCells(page, "#key_801_2", "未安装");
    await expectCells(page, "#key_802_2", "未安装");

    await send(page, [["setState", 2, 5, 2]]);
    await expectCells(page, "#i3", "已安装，但有更新版本", "orange");
    await expectCells(page, ".i3", "已安装，但有更新版本", "orange");
    await expectButtons(page, "#d3", ["升级:external.install(5);"]);
    await expectButtons(page, "#d8", ["升级:external.install(5);"]);
    await expectCells(page, "#key_802_1", "√");
    await expectCells(page, "#key_802_2", "有升级");

    await send(page, [["setState", 2, 4, 5]]);
    await expectCells(page, "#i3", "未安装", "orange");
    await expectCells(page, ".i3", "未安装", "orange");
    await expectButtons(page, "#d3", ["安装:external.install(4);"]);
    await expectButtons(page, "#d8", ["安装:external.install(4);"]);

    // 0x80000005 arrives as a signed 32-bit number.
    await send(page, [["setState", 2, 4, 0x80000005 | 0]]);
    await expectCells(page, "#i3", "未安装", "orange");
    await expectCells(page, ".i3", "未检测到", "blue");
    await expectButtons(page, "#d3", []);
    await expectButtons(page, "#d8", []);
    await expectCells(page, "#key_801_1", "×");
    await expectCells(page, "#key_801_2", "未安装");

    await send(page, [["setState", 2, 3, 6]]);
    await expectCells(page, ".i3", "未安装", "orange");
    await expectButtons(page, "#d3", []);
    await expectButtons(page, "#d8", []);
    await send(page, [["setState", 2, 3, 0x80000006]]);
    await expectCells(page, ".i3", "未检测到", "blue");
    await expectCells(page, "#key_800_1", "×");

    // An unknown state is stored (the detail list keeps its text) but the rows stay.
    await send(page, [["setState", 2, 3, 0], ["setState", 2, 3, 0x80000007]]);
    await expectCells(page, "#key_800_1", "×");
    await expectCells(page, "#key_800_2", "已安装");
    await expectCells(page, ".i3", "已安装最新版本", "blue");
    await expectButtons(page, "#d8", ["卸载:external.uninstall(3);"]);
  });
});

test("USB-key categories 800 to 802 write serials, details and driver versions", async () => {
  await withPage(1, async (page) => {
    await send(page, [["setState", 800, 2, "HT0001"], ["setState", 802, 2, "FT-42"]]);
    await expectCells(page, "#usbkeysn", " USBKey(海泰)  序列号：HT0001 ; USBKey(飞天)  序列号：FT-42 ;");
    const details = [
      [801, 3, 0, "完整"], [801, 3, 1, "不完整"],
      [800, 4, 0, "没有锁定"], [800, 4, 1, "已被锁定"],
      [802, 5, 0, "已修改过"], [802, 5, 1, "默认密码"],
      [800, 6, 3, "3个"], [801, 6, 0, "0个"],
      [802, 7, 0, "已经注册"], [802, 7, 1, "没有注册"],
    ];
    for (const [category, item, value, text] of details) {
      await send(page, [["setState", category, item, value]]);
      await expectCells(page, `#key_${category}_${item}`, text);
    }
    await send(page, [["setState", 800, 8, "2.1.0.5"], ["setState", 801, 8, "3.0"], ["setState", 802, 8, "1.9"]]);
    await expectCells(page, "#k3", "当前驱动版本：2.1.0.5", "blue");
    await expectCells(page, "#k4", "当前驱动版本：3.0", "blue");
    await expectCells(page, "#k5", "当前驱动版本：1.9", "blue");
  });
});

test("clearState empties serials, details and the driver version picked by the item", async () => {
  await withPage(1, async (page) => {
    await send(page, [
      ["setState", 800, 2, "HT0001"], ["setState", 800, 8, "2.1"], ["setState", 801, 8, "3.0"],
      ["setState", 801, 3, 0], ["setState", 802, 6, 2], ["setState", 802, 7, 0],
    ]);
    await send(page, [["clearState", 801, 3]]);
    await expectCells(page, "#k3", "");
    await expectCells(page, "#key_801_3", " ");
    await expectCells(page, "#k4", "当前驱动版本：3.0");
    await send(page, [["clearState", 803, 4]]);
    await expectCells(page, "#k4", "");
    await send(page, [["clearState", 802, 6], ["clearState", 802, 7]]);
    await expectCells(page, "#key_802_6", " ");
    await expectCells(page, "#key_802_7", " ");
    await send(page, [["clearState", 800, 2]]);
    await expectCells(page, "#usbkeysn", "");
  });
});

test("codes outside the tables change nothing", async () => {
  await withPage(1, async (page) => {
    await send(page, [["setState", 1, 2, 1], ["setState", 2, 1, 0], ["setState", 0, 2, 1999],
      ["setState", 800, 8, "2.0"], ["setState", 801, 3, 0]]);
    const before = await page.evaluate(() => document.body.innerHTML);
    await send(page, [
      ["setState", 3, 1, 0], ["setState", -1, 2, 0], ["setState", 1, 0, 0], ["setState", 1, 12, 1],
      ["setState", 0, 4, 50], ["setState", 0, 2, 1000], ["setState", 0, 2, 2012], ["setState", 0, 2, 77],
      ["setState", 2, 0, 0], ["setState", 2, 6, 5], ["setState", 2, 1, 3], ["setState", 2, 1, 1],
      ["setState", 2, 1, "0"], ["setState", 1, 2, "正常"], ["setState", 1, 8, 5],
      ["setState", 799, 3, 0], ["setState", 803, 3, 0], ["setState", 800, 1, 0], ["setState", 800, 9, "x"],
      ["setState", 800, 2, 5], ["setState", 800, 8, 3],
      ["clearState", 800, 1], ["clearState", 800, 8], ["clearState", 799, 3], ["clearState", 2, 3],
      ["clearState", 1, 2], ["clearState", 804, 6],
    ]);
    assert.equal(await page.evaluate(() => document.body.innerHTML), before);
    assert.deepEqual(await takeCalls(page), [["getusertype"]]);
  });
});

test("page load reads the user type and shows the USB-key rows only for a key user", async () => {
  const cases = [[-1, false, "飞天诚信"], [0, false, "飞天诚信"], [1, true, "飞天一代Key"], [2, true, "飞天二代Key"]];
  for (const [userType, rowsShown, keyType] of cases) {
    await withPage(userType, async (page) => {
      assert.deepEqual(await takeCalls(page), [["getusertype"]]);
      assert.equal(await page.isVisible("#drivers"), rowsShown, `scan row for type ${userType}`);
      await page.click("#tabs .tab:nth-child(3)");
      assert.equal(await page.isVisible("#usbdriver"), rowsShown, `install row for type ${userType}`);
      await expectCells(page, "#keytype", keyType);
      assert.equal(await page.isVisible("#guide"), false);
      assert.equal(await page.isVisible("#tip_body"), false);
      assert.equal(await page.evaluate(() => usertype), userType);
    });
  }
});

async function radios(page) {
  return page.$$eval("input[name=ck]", (inputs) => inputs.map((input) => `${input.value}:${input.checked}`));
}

test("showguide dims the page and checks the radio of the stored type", async () => {
  for (const [userType, checked] of [[2, ["1:false", "2:true"]], [1, ["1:true", "2:false"]], [0, ["1:false", "2:false"]], [-1, ["1:false", "2:false"]]]) {
    await withPage(userType, async (page) => {
      await page.evaluate(() => {
        document.getElementsByName("ck")[0].checked = true;
        showguide();
      });
      assert.equal(await page.isVisible("#guide"), true);
      assert.equal(await page.isVisible("#tip_body"), true);
      assert.deepEqual(await radios(page), checked);
      assert.deepEqual(await takeCalls(page), [["getusertype"]]);
    });
  }
});

test("the guide's choices store the type, set the rows and start a check pass", async () => {
  const cases = [
    { from: -1, click: ".tile1", calls: [["setusertype", 1], ["check", 0]], type: 1, rows: true, keyType: "飞天一代Key", checked: ["1:true", "2:false"] },
    { from: 1, click: ".tile2", calls: [["setusertype", 2], ["check", 0]], type: 2, rows: true, keyType: "飞天二代Key", checked: ["1:false", "2:true"] },
    { from: 2, click: ".tile2", calls: [["setusertype", 2], ["check", 0]], type: 2, rows: true, keyType: "飞天二代Key", checked: ["1:false", "2:true"] },
    { from: 2, click: "a.nokey", calls: [["setusertype", 0], ["setusertype", 0], ["check", 0]], type: 0, rows: false, keyType: "飞天二代Key", checked: ["1:false", "2:true"] },
  ];
  for (const c of cases) {
    await withPage(c.from, async (page) => {
      await page.click("#btn_guide");
      await takeCalls(page);
      await page.click(c.click);
      assert.deepEqual(await takeCalls(page), c.calls, `calls after ${c.click}`);
      assert.equal(await page.isVisible("#guide"), false);
      assert.equal(await page.isVisible("#tip_body"), false);
      assert.equal(await page.isVisible("#drivers"), c.rows);
      await expectCells(page, "#keytype", c.keyType);
      assert.deepEqual(await radios(page), c.checked);
      assert.equal(await page.evaluate(() => usertype), c.type);
      assert.equal(await page.evaluate(() => window.location.hash), "");
    });
  }
  await withPage(2, async (page) => {
    await takeCalls(page);
    await page.evaluate(() => save(9));
    assert.deepEqual(await takeCalls(page), [["setusertype", 2], ["check", 0]]);
  });
});

test("guide tiles are highlighted while the pointer is over them", async () => {
  await withPage(-1, async (page) => {
    await page.evaluate(() => showguide());
    await page.hover(".tile1");
    assert.deepEqual(await page.$$eval(".tile", (t) => t.map((e) => e.classList.contains("hover"))), [true, false]);
    await page.hover(".tile2");
    assert.deepEqual(await page.$$eval(".tile", (t) => t.map((e) => e.classList.contains("hover"))), [false, true]);
  });
});

async function showTabOf(page, selector) {
  const panel = await page.$eval(selector, (e) => e.closest(".panel").id);
  const panelIndex = { scan: 1, advanced: 2, install: 3, help: 4 }[panel];
  await page.click(`#tabs .tab:nth-child(${panelIndex})`);
  const inner = await page.$eval(selector, (e) => (e.closest(".inner") ? e.closest(".inner").id : ""));
  if (inner !== "") {
    const innerIndex = { systemScan: 1, controlScan: 2, usbKey: 3 }[inner];
    await page.click(`#innertabs .innertab:nth-child(${innerIndex})`);
  }
}

test("every button calls the right external method with the right number", async () => {
  const cases = [
    { click: "#btn_corp", calls: [["link", 1]] },
    { click: "#btn_personal", calls: [["link", 2]] },
    { click: "#btn_guide", calls: [] },
    { click: "#scan input[value=重新检测]", calls: [["check", 0]] },
    { click: "#scan input[value=一键修复]", calls: [["fix", 0], ["install", 0]] },
    { click: "#scan input[value=清除]", calls: [["fix", 12]] },
    ...[2, 3, 4, 9, 10, 11].map((item) => ({ before: [["setState", 1, item, 1]], click: `#f${item} input`, calls: [["fix", item]] })),
    { before: [["setState", 2, 1, 0]], click: "#d6 input", calls: [["uninstall", 1]] },
    { before: [["setState", 2, 1, 5]], click: "#d6 input", calls: [["install", 1]] },
    { before: [["setState", 2, 2, 0]], click: "#d7 input", calls: [["uninstall", 2]] },
    { before: [["setState", 2, 2, 5]], click: "#d7 input", calls: [["install", 2]] },
    { before: [["setState", 2, 4, 0]], click: "#d8 input", calls: [["uninstall", 4]] },
    { before: [["setState", 2, 4, 2]], click: "#d8 input", calls: [["install", 4]] },
    { before: [["setState", 2, 3, 5]], click: "#d8 input", calls: [["install", 3]] },
    { click: "#systemScan input[value=重新检测]", calls: [["check", 0]] },
    { click: "#controlScan input[value=重新检测]", calls: [["check", 0]] },
    { click: "#usbKey input[value=重新检测]", calls: [["check", 0]] },
    { click: "#install input[value=一键升级安装]", calls: [["install", 0]] },
    { click: "#install input[value=重新检测]", calls: [["check", 0]] },
    { before: [["setState", 2, 1, 2]], click: "#d1 input", calls: [["install", 1]] },
    { before: [["setState", 2, 2, 5]], click: "#d2 input", calls: [["install", 2]] },
    { before: [["setState", 2, 5, 2]], click: "#d3 input", calls: [["install", 5]] },
    { before: [["setState", 2, 3, 5]], click: "#d3 input", calls: [["install", 3]] },
  ];
  await withPage(1, async (page) => {
    for (const c of cases) {
      await send(page, c.before || []);
      if (!c.click.startsWith("#btn_")) await showTabOf(page, c.click);
      await takeCalls(page);
      await page.click(c.click);
      assert.deepEqual(await takeCalls(page), c.calls, `calls of ${c.click}`);
      await page.evaluate(() => {
        if (jQuery("#guide").is(":visible")) save(-5);
      });
      await takeCalls(page);
    }
  });
});

function visibleIds(page, selector) {
  return page.$$eval(selector, (elements) =>
    elements.filter((e) => getComputedStyle(e).display !== "none").map((e) => e.id));
}

test("tabs show one panel at a time, inner tabs one list at a time", async () => {
  await withPage(1, async (page) => {
    assert.deepEqual(await visibleIds(page, ".panel"), ["scan"]);
    assert.deepEqual(await visibleIds(page, ".inner"), ["systemScan"]);
    const tabColour = () => page.$eval("#tabs .on", (e) => [e.textContent, getComputedStyle(e).color]);
    assert.deepEqual(await tabColour(), ["检测和修复", "rgb(151, 11, 13)"]);
    const labels = await page.$$eval("#tabs .tab", (tabs) => tabs.map((t) => t.textContent));
    assert.deepEqual(labels, ["检测和修复", "高级检测", "升级和安装", "帮\u3000助"]);
    for (const [index, id] of [[2, "advanced"], [3, "install"], [4, "help"], [1, "scan"]]) {
      await page.click(`#tabs .tab:nth-child(${index})`);
      assert.deepEqual(await visibleIds(page, ".panel"), [id]);
      assert.equal((await tabColour())[1], "rgb(151, 11, 13)");
    }
    await page.click("#tabs .tab:nth-child(2)");
    for (const [index, id, label] of [[2, "controlScan", "控件检测"], [3, "usbKey", "USBKey检测"], [1, "systemScan", "系统检测"]]) {
      await page.click(`#innertabs .innertab:nth-child(${index})`);
      assert.deepEqual(await visibleIds(page, ".inner"), [id]);
      const selected = await page.$eval("#innertabs .on", (e) => [e.textContent, getComputedStyle(e).color]);
      assert.deepEqual(selected, [label, "rgb(5, 123, 210)"]);
    }
    await page.click("#innertabs .innertab:nth-child(3)");
    for (const id of ["#key_800_1", "#key_801_7", "#key_802_5", "#k4", "#k5"]) {
      assert.equal(await page.evaluate((s) => jQuery(s).is(":visible"), id), true, `${id} visible`);
    }
  });
});

test("help opens one answer at a time, the first at start", async () => {
  await withPage(1, async (page) => {
    await page.click("#tabs .tab:nth-child(4)");
    const open = () => page.$$eval("#faq .a", (answers) => answers.map((a) => getComputedStyle(a).display !== "none"));
    assert.deepEqual(await open(), [true, false, false, false]);
    const questions = await page.$$eval("#faq .q", (q) => q.map((e) => e.textContent));
    assert.deepEqual(questions, ["什么是网银安全检测工具？", "什么是检测？", "什么是修复？", "什么是一键设置？"]);
    await page.click("#faq .q >> nth=2");
    assert.deepEqual(await open(), [false, false, true, false]);
    await page.click("#faq .q >> nth=3");
    assert.deepEqual(await open(), [false, false, false, true]);
    assert.equal(await page.$eval("#faq .q >> nth=0", (e) => getComputedStyle(e).color), "rgb(5, 123, 210)");
    assert.equal(await page.$eval("#faq .a >> nth=3", (e) => e.textContent),
      "通过此项功能可以将您使用我行网银所需的USBKey驱动的类型及最新版本、密码安全控件、证书链等程序进行安装和升级更新。");
  });
});

// The page side of the assistant: the program calls setState, clearState and
// showguide; the page calls the program through window.external. Codes that
// this file does not know change nothing on the page.

var usertype = -1;
var key = [
  { inserted: false, value: 5 },
  { inserted: false, value: 5 },
  { inserted: false, value: 5 }
];

var STATUS_TEXT = {
  1: "安装完毕",
  2: "正在下载",
  3: "正在安装",
  1002: "正在检测注册表",
  1003: "正在检测Host文件",
  1004: "正在检测根证书",
  1005: "正在检测网络连接",
  1006: "正在检测DNS设置",
  1007: "正在检测网银服务",
  1009: "正在检测主页设置",
  1010: "正在检测安全级别设置",
  1011: "正在检测可信站点",
  1013: "正在检测网络代理设置",
  1999: "检测完毕",
  2002: "正在修复注册表",
  2003: "正在修复Host文件",
  2004: "正在修复根证书",
  2009: "正在修复主页设置",
  2010: "正在修复安全级别设置",
  2011: "正在修复可信站点",
  2999: "修复完毕"
};

var VERDICT_OK = "恭喜您，您的电脑已达到使用我行网上银行的环境配置要求，可以放心使用！";
var VERDICT_BAD = "对不起，您的电脑可能不符合我行网上银行的环境配置要求，请立即进行修复！";

// Tested in this order: the first name the system text contains is shown.
var OS_NAMES = [
  "Windows 8", "Windows 7", "Windows Vista", "Windows Server 2008",
  "Windows Server 2003", "Windows XP", "Windows 2000", "Windows 10"
];

var REPAIRABLE_ITEMS = { 2: true, 3: true, 4: true, 9: true, 10: true, 11: true };

// Categories 800-802: one per key maker, items 3 to 7 of the detail list.
var KEY_MAKERS = { 800: "海泰", 801: "坚石", 802: "飞天" };
var KEY_DETAIL_TEXT = {
  3: ["完整", "不完整"],
  4: ["没有锁定", "已被锁定"],
  5: ["已修改过", "默认密码"],
  7: ["已经注册", "没有注册"]
};
var KEY_VERSION_CELL = { 800: "#k3", 801: "#k4", 802: "#k5" };

var FLAG_DISABLED = 0x40000000;
var FLAG_KEY_ABSENT = 0x80000000;
var TEXT_UP_TO_DATE = "已安装最新版本";
var TEXT_UPGRADABLE = "已安装，但有更新版本";
var TEXT_MISSING = "未安装";

function isNumber(value) {
  return typeof value === "number" && isFinite(value);
}

function isText(value) {
  return typeof value === "string";
}

function show(elements, text, blue) {
  elements.removeClass("co-blue co-yellow").addClass(blue ? "co-blue" : "co-yellow").text(text);
}

function showVerdict(elements, value) {
  if (value === 0) {
    show(elements, "正常", true);
  } else {
    show(elements, "不正常", false);
  }
}

// A button of the protocol: calls one external method with the item number.
function putButton(cell, label, method, item) {
  cell.html('<input type="button" class="btn btn-little co-blue" value="' + label +
            '" onclick="external.' + method + "(" + item + ');" />');
}

function setProgress(value) {
  if (!isNumber(value) || value < 0 || value > 100) {
    return;
  }
  $(".pc").width(Math.round(value * 2.33));
}

function setOverall(item, value) {
  if (item === 0 || item === 1) {
    setProgress(value);
  } else if (item === 2) {
    if (isNumber(value) && STATUS_TEXT.hasOwnProperty(value)) {
      $(".status_check").text(STATUS_TEXT[value]);
    }
  } else if (item === 3) {
    if (isNumber(value)) {
      show($(".status_result"), value === 0 ? VERDICT_OK : VERDICT_BAD, value === 0);
    }
  }
}

function osDisplayName(text) {
  for (var i = 0; i < OS_NAMES.length; i++) {
    if (text.indexOf(OS_NAMES[i]) >= 0) {
      return OS_NAMES[i];
    }
  }
  return text;
}

function setEnvironment(item, value) {
  var cells = $(".c" + item);
  if (item === 1 || item === 8) {
    if (isText(value)) {
      cells.text(item === 1 ? osDisplayName(value) : value);
    }
  } else if (REPAIRABLE_ITEMS[item] === true) {
    if (!isNumber(value)) {
      return;
    }
    showVerdict(cells, value);
    if (value === 0) {
      $("#f" + item).empty();
    } else {
      putButton($("#f" + item), "修复", "fix", item);
    }
  } else if (item === 5 || item === 6 || item === 7) {
    if (isNumber(value)) {
      showVerdict(cells, value);
    } else if (isText(value) && item !== 5) {
      show(cells, value, true);
    }
  }
}

// Items 1 and 2: the password control and the signing control.
function setControl(item, value) {
  if (!isNumber(value)) {
    return;
  }
  var state = $(".i" + item);
  var installCell = $("#d" + item);
  var scanCell = $("#d" + (item + 5));
  if ((value & FLAG_DISABLED) !== 0) {
    show(state, "已被禁用", false);
    installCell.empty();
    return;
  }
  switch (value & 0x3FFFFFFF) {
    case 0:
      show(state, TEXT_UP_TO_DATE, true);
      installCell.empty();
      putButton(scanCell, "卸载", "uninstall", item);
      break;
    case 2:
      show(state, TEXT_UPGRADABLE, false);
      putButton(installCell, "升级", "install", item);
      break;
    case 5:
      show(state, TEXT_MISSING, false);
      putButton(installCell, "安装", "install", item);
      putButton(scanCell, "安装", "install", item);
      break;
    case 6:
      show(state, TEXT_MISSING, false);
      installCell.empty();
      scanCell.empty();
      break;
  }
}

function writeKeyDetails() {
  for (var i = 0; i < key.length; i++) {
    var category = 800 + i;
    $("#key_" + category + "_1").text(key[i].inserted ? "√" : "×");
    var driver = { 0: "已安装", 2: "有升级", 5: "未安装" }[key[i].value];
    if (driver !== undefined) {
      $("#key_" + category + "_2").text(driver);
    }
  }
}

// Items 3, 4 and 5: the USB-key driver; the top bit says the key is absent.
function setKey(item, value) {
  if (!isNumber(value)) {
    return;
  }
  var record = key[item - 3];
  record.inserted = (value & FLAG_KEY_ABSENT) === 0;
  value = value & 0x0FFFFFFF;
  record.value = value;
  writeKeyDetails();
  setKeyState(item, value);
}

function setKeyState(item, value) {
  var inserted = key[item - 3].inserted;
  var installState = $("#i3");
  var installCell = $("#d3");
  var scanCell = $("#d8");
  var scanState = $(".i3");
  if (value === 0) {
    show(installState, TEXT_UP_TO_DATE, true);
    installCell.empty();
    putButton(scanCell, "卸载", "uninstall", item);
    show(scanState, TEXT_UP_TO_DATE, true);
  } else if (value === 2) {
    show(installState, TEXT_UPGRADABLE, false);
    putButton(installCell, "升级", "install", item);
    putButton(scanCell, "升级", "install", item);
    show(scanState, TEXT_UPGRADABLE, false);
  } else if (value === 5 || value === 6) {
    show(installState, TEXT_MISSING, false);
    if (value === 5 && inserted) {
      putButton(installCell, "安装", "install", item);
      putButton(scanCell, "安装", "install", item);
    } else {
      installCell.empty();
      scanCell.empty();
    }
    if (inserted) {
      show(scanState, TEXT_MISSING, false);
    } else {
      show(scanState, "未检测到", true);
    }
  }
}

function setComponent(item, value) {
  if (item === 1 || item === 2) {
    setControl(item, value);
  } else if (item >= 3 && item <= 5) {
    setKey(item, value);
  }
}

function setUsbKey(category, item, value) {
  var cell = $("#key_" + category + "_" + item);
  if (item === 2) {
    if (isText(value)) {
      var sn = $("#usbkeysn");
      sn.text(sn.text() + " USBKey(" + KEY_MAKERS[category] + ")  序列号：" + value + " ;");
    }
  } else if (KEY_DETAIL_TEXT.hasOwnProperty(item)) {
    if (isNumber(value)) {
      cell.text(KEY_DETAIL_TEXT[item][value === 0 ? 0 : 1]);
    }
  } else if (item === 6) {
    if (isNumber(value)) {
      cell.text(value + "个");
    }
  } else if (item === 8) {
    if (isText(value)) {
      show($(KEY_VERSION_CELL[category]), "当前驱动版本：" + value, true);
    }
  }
}

function setState(category, item, value) {
  if (category === 0) {
    setOverall(item, value);
  } else if (category === 1) {
    setEnvironment(item, value);
  } else if (category === 2) {
    setComponent(item, value);
  } else if (KEY_MAKERS.hasOwnProperty(category)) {
    setUsbKey(category, item, value);
  }
}

function clearState(category, item) {
  if (!isNumber(category) || category < 800 || category > 803 || !isNumber(item)) {
    return;
  }
  if (item === 2) {
    $("#usbkeysn").empty();
  } else if (item >= 3 && item <= 7) {
    if (item <= 5) {
      $("#k" + item).empty();
    }
    $("#key_" + category + "_" + item).text(" ");
  }
}

function showKeyRows(type) {
  if (type === 0 || type === -1) {
    $("#drivers, #usbdriver").hide();
    return;
  }
  $("#drivers, #usbdriver").show();
  if (type === 1) {
    $("#keytype").text("飞天一代Key");
  } else if (type === 2) {
    $("#keytype").text("飞天二代Key");
  }
}

function keyRadios() {
  return document.getElementsByName("ck");
}

function showguide() {
  $("#tip_body").show();
  $(".tips").hide();
  $("#guide").show();
  var radios = keyRadios();
  for (var i = 0; i < radios.length; i++) {
    radios[i].checked = Number(radios[i].value) === usertype;
  }
}

function save(index) {
  var choice = usertype;
  if (index === 0) {
    external.setusertype(0);
    choice = 0;
  } else if (index === 1 || index === 2) {
    var radios = keyRadios();
    for (var i = 0; i < radios.length; i++) {
      radios[i].checked = Number(radios[i].value) === index;
    }
    choice = index;
  }
  $("#tip_body").hide();
  $(".tips").hide();
  $("#guide").hide();
  showKeyRows(choice);
  external.setusertype(choice);
  external.check(0);
  usertype = choice;
}

function selectOne(elements, index, visibleOf) {
  elements.removeClass("on");
  $(elements[index]).addClass("on");
  visibleOf.hide();
  $(visibleOf[index]).show();
}

function showTab(index) {
  selectOne($(".tab"), index, $(".panel"));
}

function showInner(index) {
  selectOne($(".innertab"), index, $(".inner"));
}

function openAnswer(index) {
  var questions = $("#faq .q");
  questions.removeClass("open");
  $(questions[index]).addClass("open");
  $("#faq .a").hide();
  $($("#faq .a")[index]).show();
}

function readUserType() {
  if (typeof window.external === "object" && window.external !== null &&
      typeof window.external.getusertype === "function") {
    return window.external.getusertype();
  }
  return -1;
}

$(document).ready(function() {
  setState(0, 0, 1);
  setState(0, 1, 1);
  usertype = readUserType();
  showKeyRows(usertype);
  openAnswer(0);
  $(".tile").hover(function() { $(this).addClass("hover"); },
                   function() { $(this).removeClass("hover"); });
  document.body.addEventListener("wheel", function(event) { event.preventDefault(); },
                                 { passive: false });
});

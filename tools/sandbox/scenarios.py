"""The small installs the Firefox truth table is made of.

A layout is a list of files, each {"path", "text", "eol", "encoding"}: the
text is written with "\n", then its line ends become `eol` (lf, crlf or cr)
and it is encoded as `encoding` (utf-8, utf-8-bom, or utf-16 with its byte
order mark, as Notepad saves "Unicode"). Each starts from the files a mode's
start writes and changes one thing a real machine can hold.
"""

import json
import re

MODES = ("zarn", "tovk", "dlp")
LOADER = "defaults/pref/!.js"
CFG = "cv_mozilla_V2N.cfg"
OTHER_CFG = "other.cfg"
POLICIES = "distribution/policies.json"
# Sorts before "!.js", so Firefox reads it after the loader; "zz.js" before.
LATER_PREFS = "defaults/pref/ .js"
EARLIER_PREFS = "defaults/pref/zz.js"
BROWSER_PREFS = "browser/defaults/preferences/zz-admin.js"

FILENAME = 'pref("general.config.filename", "%s");\n'
OBSCURE = 'pref("general.config.obscure_value", %s);\n'
OTHER_CFG_TEXT = '//\nlockPref("network.proxy.type", 1);\nlockPref("security.enterprise_roots.enabled", false);\n'


def encode(entry):
    text = entry["text"].replace("\n", {"lf": "\n", "crlf": "\r\n", "cr": "\r"}[entry["eol"]])
    if entry["encoding"] == "utf-16":
        return b"\xff\xfe" + text.encode("utf-16-le")
    return (b"\xef\xbb\xbf" if entry["encoding"] == "utf-8-bom" else b"") + text.encode("utf-8")


def file(path, text, eol="lf", encoding="utf-8"):
    return {"path": path, "text": text, "eol": eol, "encoding": encoding}


def statements(cfg):
    """(function, name, value text) of each statement line of a cfg."""
    return re.findall(r'^(\w+)\("([^"]+)", ([^)]*)\);', cfg, re.M)


def other_value(value):
    return {"true": "false", "false": "true", '""': '"intranet"'}.get(value, "1" if value != "1" else "2")


def loader_variants(loader):
    filename, obscure = FILENAME % "cv_mozilla_V2N.cfg", OBSCURE % 0
    yield "loader lf", loader, {}
    for eol in ("crlf", "cr"):
        yield "loader " + eol, loader, {"eol": eol}
    yield "loader utf-8 bom", loader, {"encoding": "utf-8-bom"}
    yield "loader utf-8 bom crlf", loader, {"encoding": "utf-8-bom", "eol": "crlf"}
    yield "loader utf-16", loader, {"encoding": "utf-16"}
    yield "loader statements across lines", loader.replace(", ", ",\n    "), {}
    yield "loader statements on one line", loader.replace(";\n", "; ").rstrip() + "\n", {}
    yield "loader block comment", "/* " + FILENAME % "x.cfg" + " */\n" + loader, {}
    yield "loader hash comment", "# admin's note\n" + loader, {}
    yield "loader comment lines, cr", "// admin's note\n" + loader + "# another\n", {"eol": "cr"}
    yield "loader last statement cut short", filename + obscure.rstrip().rstrip(";"), {}
    yield "loader junk before obscure", filename + "junk(\n" + obscure, {}
    yield "loader junk with semicolon", filename + "junk;\n" + obscure, {}
    yield "loader obscure quoted", filename + OBSCURE % '"0"', {}
    yield "loader obscure plus sign", filename + OBSCURE % "+0", {}
    yield "loader obscure one", filename + OBSCURE % 1, {}
    yield "loader locked attribute", filename.replace(");", ", locked);") + obscure, {}
    yield "loader lockPref", filename.replace("pref(", "lockPref(") + obscure, {}
    yield "loader sticky_pref", filename.replace("pref(", "sticky_pref(") + obscure, {}
    yield "loader user_pref", filename.replace("pref(", "user_pref(") + obscure, {}
    yield "loader single quotes", filename.replace('"', "'") + obscure, {}
    yield "loader hex escape", filename.replace("cv_", "\\x63v_") + obscure, {}
    yield "loader bad escape", filename.replace("cv_", "\\qcv_") + obscure, {}
    yield "loader nul byte", filename + "\0\n" + obscure, {}
    yield "loader filename a number", 'pref("general.config.filename", 5);\n' + filename + obscure, {}


def other_pref_files():
    other = FILENAME % OTHER_CFG
    yield "later file names another", LATER_PREFS, other, {}
    yield "later file sets obscure 1", LATER_PREFS, OBSCURE % 1, {}
    yield "earlier file names another", EARLIER_PREFS, other, {}
    yield "browser preferences name another", BROWSER_PREFS, other, {}
    yield "later file names another, bom", LATER_PREFS, other, {"encoding": "utf-8-bom"}
    yield "later file names another, utf-16", LATER_PREFS, other, {"encoding": "utf-16"}
    yield "later file names another, user_pref", LATER_PREFS, other.replace("pref(", "user_pref("), {}
    yield "later file names another, cut short", LATER_PREFS, other.rstrip().rstrip(";"), {}
    yield "later file names another, in a comment", LATER_PREFS, "// " + other, {}


def cfg_variants(cfg):
    first = statements(cfg)[0]
    function, name, value = first
    changed = other_value(value)
    yield "cfg lf", cfg, {}
    for eol in ("crlf", "cr"):
        yield "cfg " + eol, cfg, {"eol": eol}
    yield "cfg utf-8 bom", cfg, {"encoding": "utf-8-bom"}
    yield "cfg utf-16", cfg, {"encoding": "utf-16"}
    yield "cfg first line gone", cfg.split("\n", 1)[1], {}
    yield "cfg empty", "", {}
    for kind in ("pref", "defaultPref", "lockPref", "sticky_pref", "user_pref"):
        yield "cfg then %s other value" % kind, cfg + '%s("%s", %s);\n' % (kind, name, changed), {}
    yield "cfg then unlockPref", cfg + 'unlockPref("%s");\n' % name, {}
    yield "cfg then clearPref", cfg + 'clearPref("%s");\n' % name, {}
    yield "cfg then pref and clearPref", cfg + 'pref("%s", %s);\nclearPref("%s");\n' % (name, changed, name), {}
    yield "cfg then unlockPref and pref", cfg + 'unlockPref("%s");\npref("%s", %s);\n' % (name, name, changed), {}
    yield "cfg lockPref before", cfg.replace("\n", '\nlockPref("%s", %s);\n' % (name, changed), 1), {}
    yield "cfg then statement cut short", cfg + 'lockPref("%s", %s' % (name, changed), {}
    yield "cfg then comment cut short", cfg + "// cut in the comm", {}
    yield "cfg then two statements on a line", cfg + 'lockPref("a.b", 1); lockPref("%s", %s);\n' % (name, changed), {}


def policies(body):
    return json.dumps({"policies": body})


def policy_variants():
    for mode in ("none", "system", "manual", "autoDetect"):
        yield "policy Proxy Mode " + mode, policies({"Proxy": {"Mode": mode}}), {}
    yield "policy Proxy Mode none, locked", policies({"Proxy": {"Mode": "none", "Locked": True}}), {}
    yield "policy Proxy Passthrough", policies({"Proxy": {"Passthrough": "intranet"}}), {}
    for value in (False, True):
        yield "policy ImportEnterpriseRoots %s" % value, policies({"Certificates": {"ImportEnterpriseRoots": value}}), {}
    for pref, value in (("network.proxy.type", 1), ("security.enterprise_roots.enabled", False),
                        ("security.use_mozillapkix_verification", True), ("extensions.enabledScopes", 1),
                        ("extensions.autoDisableScopes", 3), ("extensions.install.requireBuiltInCerts", True)):
        for status in ("default", "locked", "user", "clear", None):
            setting = value if status is None else {"Value": value, "Status": status}
            yield "policy Preferences %s %s" % (pref, status or "bare"), policies({"Preferences": {pref: setting}}), {}
    none = policies({"Proxy": {"Mode": "none"}})
    yield "policy Proxy none, utf-8 bom", none, {"encoding": "utf-8-bom"}
    yield "policy Proxy none, utf-16", none, {"encoding": "utf-16"}
    yield "policy Proxy none, crlf", json.dumps({"policies": {"Proxy": {"Mode": "none"}}}, indent=2), {"eol": "crlf"}
    yield "policy Proxy none, not json", none[:-1], {}
    nested = {"policies": {"Proxy": {"Mode": "none"}, "Deep": {}}}
    node = nested["policies"]["Deep"]
    for _ in range(200):
        node["d"] = {}
        node = node["d"]
    yield "policy Proxy none, deeply nested", json.dumps(nested), {}


def layouts(files):
    """(name, mode, layout) for every scenario."""
    result = []
    for mode in MODES:
        loader, cfg = files[mode]["defaults/pref/!.js"], files[mode][CFG]

        def add(name, *changed, drop=()):
            paths = {entry["path"] for entry in changed} | set(drop)
            layout = [entry for entry in (file(LOADER, loader), file(CFG, cfg)) if entry["path"] not in paths]
            result.append(("%s: %s" % (mode, name), mode, layout + list(changed)))

        for name, text, how in loader_variants(loader):
            add(name, file(LOADER, text, **how))
        for name, path, text, how in other_pref_files():
            add(name, file(path, text, **how), file(OTHER_CFG, OTHER_CFG_TEXT))
        for name, text, how in cfg_variants(cfg):
            add(name, file(CFG, text, **how))
        add("cfg missing", drop=(CFG,))
        for name, text, how in policy_variants():
            add(name, file(POLICIES, text, **how))
    return result

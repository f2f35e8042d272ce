#!/usr/bin/env python3
"""End to end: pelorinctl.exe drives Pelorin.dll under Wine against a copy of
Debian's Firefox ESR, and that Firefox, started headless, reports over
Marionette which preferences it ended up with and which are locked.

This Firefox's own defaults already are network.proxy.type 5, an empty
network.proxy.no_proxies_on and security.enterprise_roots.enabled true, so
each check is on value and lock together, against the untouched copy read the
same way.

    firefox_e2e.py --bin BUILD/bin --work DIR   (WINEPREFIX set, server up)
"""

import argparse
import json
import os
import random
import shutil
import sys
import time
import unittest

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "sandbox"))

import firefox  # noqa: E402
import scenarios  # noqa: E402
import wine  # noqa: E402

TRUTH_TABLE = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "firefox-truth.json")

PROXY_TYPE = "network.proxy.type"
NO_PROXIES = "network.proxy.no_proxies_on"
ROOTS = "security.enterprise_roots.enabled"
PKIX = "security.use_mozillapkix_verification"
BUILTIN_CERTS = "extensions.install.requireBuiltInCerts"
AUTO_DISABLE = "extensions.autoDisableScopes"
ENABLED_SCOPES = "extensions.enabledScopes"
CFG_NAME = "general.config.filename"
OBSCURE = "general.config.obscure_value"
HOMEPAGE = "browser.startup.homepage"
CHANNEL = "app.update.channel"

PREFS = firefox.LIBRARY_PREFS + firefox.LOADER_PREFS + (HOMEPAGE, CHANNEL)

# Expected (value, locked). BASE: as the untouched copy reports it.
BASE = "as untouched"
UNTOUCHED = {name: BASE for name in PREFS}
LOADED = {CFG_NAME: ("cv_mozilla_V2N.cfg", False), OBSCURE: (0, False)}
PROXY_LOCKED = {PROXY_TYPE: (5, True), NO_PROXIES: ("", True)}
ROOTS_LOCKED = {ROOTS: (True, True)}
ZARN_ONLY = {PKIX: (False, True), BUILTIN_CERTS: (False, True)}
SCOPES = {AUTO_DISABLE: (0, False), ENABLED_SCOPES: (15, False)}


def expect(*parts):
    result = dict(UNTOUCHED)
    for part in parts:
        result.update(part)
    return result


ARGS = None


class FirefoxEndToEnd(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = os.path.abspath(ARGS.work)
        shutil.rmtree(cls.work, ignore_errors=True)
        os.makedirs(cls.work)
        cls.install = firefox.copy_install(os.path.join(cls.work, "firefox"))
        cls.agent = os.path.join(cls.work, "agent")
        cls.prefix = wine.WinePrefix(os.environ["WINEPREFIX"])
        cls.ctl = wine.Pelorinctl(cls.prefix, os.path.join(ARGS.bin, "pelorinctl.exe"))
        cls.service_exe = os.path.join(ARGS.bin, "pelorin_test_service.exe")
        cls.untouched = cls.read()
        cls.prefix.delete_service(wine.SERVICE_NAME)

    @classmethod
    def tearDownClass(cls):
        cls.prefix.delete_service(wine.SERVICE_NAME)
        cls.prefix.import_reg(wine.wipe_reg())
        shutil.rmtree(cls.work, ignore_errors=True)

    @classmethod
    def read(cls):
        started = time.monotonic()
        with firefox.Firefox(cls.install, cls.work, timeout=ARGS.timeout) as ff:
            prefs = ff.read_prefs(PREFS)
        print("  Firefox read in %.1f s" % (time.monotonic() - started), file=sys.stderr)
        return prefs

    def setUp(self):
        firefox.reset_install(self.install)
        shutil.rmtree(self.agent, ignore_errors=True)
        os.makedirs(self.agent)
        self.prefix.import_reg(wine.wipe_reg() + wine.registration_reg(self.install) + wine.agent_reg(self.agent))

    def tearDown(self):
        self.prefix.delete_service(wine.SERVICE_NAME)

    def write(self, relative, text):
        with open(os.path.join(self.install, relative), "w", newline="\n") as f:
            f.write(text)

    def content(self, relative):
        with open(os.path.join(self.install, relative), "rb") as f:
            return f.read().decode("utf-8")

    def inline_proxy_on(self):
        with open(os.path.join(self.agent, "ClientConfig.qcf"), "w"):
            pass
        self.prefix.import_reg(wine.blocked_addon_policy_reg())
        self.prefix.start_service(wine.SERVICE_NAME, self.service_exe)

    def check(self):
        """pelorinctl --json check: its exit code and report. The report is
        the JSON object at the start of the output; a line on standard error
        may follow it."""
        code, text = self.prefix.run([self.ctl.exe, "--json", "check"], check=False)
        if not text.strip():
            # Under load, Wine has once handed back an exit code and none of
            # the program's output; a second run tells that from a check
            # that prints nothing.
            print("  check printed nothing (exit %d); running it again" % code)
            code, text = self.prefix.run([self.ctl.exe, "--json", "check"], check=False)
        try:
            report, _ = json.JSONDecoder().raw_decode(text)
        except ValueError:
            self.fail("check printed no JSON (exit %d):\n%s" % (code, text))
        return code, report

    def assertCheckAgrees(self, report, prefs):
        wrong = []
        for verdict in report["preferences"]:
            got = prefs[verdict["name"]]
            want = verdict["value"]
            at_value = type(got.value) is type(want) and got.value == want
            in_force = at_value and (got.locked or not verdict["locked"])
            if in_force != verdict["holds"]:
                wrong.append("%-40s check: %s %s  Firefox: %s %s" % (
                    verdict["name"], "holds" if verdict["holds"] else "fails", firefox.format_value(want),
                    firefox.format_value(got.value), "locked" if got.locked else "-"))
        if wrong:
            self.fail("check's verdicts differ from Firefox:\n" + "\n".join(wrong) + "\n" +
                      json.dumps(report["findings"], indent=2))

    def assertFirefoxReports(self, expected, findings=(), mode=None):
        """Runs check, starts Firefox once, and holds Firefox's report
        against `expected` and check's verdicts against Firefox's report.
        `findings` are the codes check is to report; `mode` the mode it is to
        read from the autoconfig file."""
        code, report = self.check()
        prefs = self.read()
        self.assertCheckAgrees(report, prefs)
        self.assertEqual(sorted(findings), sorted(f["code"] for f in report["findings"]),
                         json.dumps(report["findings"], indent=2))
        self.assertEqual(1 if findings else 0, code)
        if mode is not None:
            self.assertEqual(mode, report["mode"])
        wrong = []
        for name, want in expected.items():
            base = self.untouched[name]
            value, locked = (base.value, base.locked) if want == BASE else want
            got = prefs[name]
            if (got.value, got.locked) != (value, locked) or got.user:
                wrong.append("%-40s want %-22s %-6s  got %-22s %s%s" % (
                    name, firefox.format_value(value), "locked" if locked else "-",
                    firefox.format_value(got.value), "locked" if got.locked else "-",
                    "  (user value)" if got.user else ""))
        if wrong:
            self.fail("Firefox reports other preferences than expected:\n" + "\n".join(wrong))
        return prefs

    def test_untouched_copy_has_no_lock_of_its_own(self):
        # Every other check leans on this: a lock seen later came from a file.
        self.assertEqual([], [n for n, p in self.untouched.items() if p.locked])
        self.assertIsNone(self.untouched[CFG_NAME].value)
        self.assertNotEqual(0, self.untouched[AUTO_DISABLE].value)
        self.assertNotEqual(15, self.untouched[ENABLED_SCOPES].value)
        self.assertNotEqual(0, self.untouched[OBSCURE].value)

    def test_zarn_locks_proxy_roots_and_certificate_checks(self):
        self.ctl("start", "zarn")
        self.assertFirefoxReports(expect(LOADED, PROXY_LOCKED, ROOTS_LOCKED, ZARN_ONLY), mode="zarn")

    def test_dlp_without_inline_proxy_leaves_proxy_unlocked(self):
        self.ctl("start", "dlp")
        self.assertFirefoxReports(expect(LOADED, SCOPES, ROOTS_LOCKED), mode="dlp")

    def test_dlp_with_inline_proxy_then_proxy_only_then_full_cleanup(self):
        self.inline_proxy_on()
        self.ctl("start", "dlp")
        self.assertFirefoxReports(expect(LOADED, SCOPES, PROXY_LOCKED, ROOTS_LOCKED), mode="dlp")
        self.ctl("cleanup", "--only-proxy")
        # The inline proxy is still in force, so DLP still wants the pair.
        self.assertFirefoxReports(expect(LOADED, SCOPES, ROOTS_LOCKED),
                                  findings=["cfg-line-missing", "cfg-line-missing"], mode="dlp")
        self.ctl("cleanup")
        # The loader stays and names a file that is now just "//".
        self.assertFirefoxReports(expect(LOADED), findings=["mode-unknown"], mode=None)

    def test_foreign_autoconfig_keeps_its_own_locks(self):
        # An administrator's own loader and autoconfig file, which the agent
        # is told to use. Firefox skips the first line of the file.
        self.write("defaults/pref/autoconfig.js",
                   'pref("general.config.filename", "mozilla.cfg");\npref("general.config.obscure_value", 0);\n')
        self.write("mozilla.cfg", '// Corporate settings\nlockPref("browser.startup.homepage", "about:blank");\n'
                                  'lockPref("network.proxy.type", 1);\n')
        self.ctl("start", "tovk", "--loader", "autoconfig.js", "--cfg", "mozilla.cfg")
        corporate = {CFG_NAME: ("mozilla.cfg", False), OBSCURE: (0, False), HOMEPAGE: ("about:blank", True)}
        # The library's line comes after the foreign one, so 5 wins.
        self.assertFirefoxReports(expect(corporate, PROXY_LOCKED, ROOTS_LOCKED), mode="tovk")
        self.ctl("cleanup")
        self.assertFirefoxReports(expect(corporate, {PROXY_TYPE: (1, True)}), findings=["mode-unknown"])

    def test_tovk_locks_proxy_and_roots_and_strips_a_stale_loader_line_in_channel_prefs(self):
        # channel-prefs.js sorts before zz.js, so Firefox would take its
        # filename line over the library's if it were left in place. The
        # foreign obscure line is not the library's to remove.
        channel = self.content("defaults/pref/channel-prefs.js")
        obscure = 'pref("general.config.obscure_value", 0);\n'
        self.write("defaults/pref/channel-prefs.js",
                   channel + obscure + 'pref("general.config.filename", "legacy.cfg");\n')
        self.write("legacy.cfg", '//\nlockPref("network.proxy.type", 1);\nlockPref("security.enterprise_roots.enabled", false);\n')
        self.ctl("start", "tovk", "--loader", "zz.js")
        self.assertFirefoxReports(expect(LOADED, PROXY_LOCKED, ROOTS_LOCKED, {CHANNEL: ("esr", False)}), mode="tovk")
        self.assertEqual(channel + obscure, self.content("defaults/pref/channel-prefs.js"))

    # What stands in the way of the locks: one Firefox start each.

    def test_check_missing_loader(self):
        self.ctl("start", "tovk")
        os.remove(os.path.join(self.install, "defaults", "pref", "!.js"))
        self.assertFirefoxReports(expect(), findings=["loader-missing"], mode="tovk")

    def test_check_overriding_loader(self):
        # " .js" sorts before "!.js", so Firefox reads it later and runs its file.
        self.ctl("start", "tovk")
        self.write("defaults/pref/ .js", 'pref("general.config.filename", "other.cfg");\n')
        self.write("other.cfg", '//\nlockPref("network.proxy.type", 1);\n')
        self.assertFirefoxReports(expect({CFG_NAME: ("other.cfg", False), OBSCURE: (0, False), PROXY_TYPE: (1, True)}),
                                  findings=["loader-overridden"], mode="tovk")

    def test_check_foreign_lines_after_the_library(self):
        self.ctl("start", "tovk")
        self.write("cv_mozilla_V2N.cfg", self.content("cv_mozilla_V2N.cfg") + 'lockPref("network.proxy.type", 1);\n'
                   'unlockPref("security.enterprise_roots.enabled");\n')
        self.assertFirefoxReports(expect(LOADED, {PROXY_TYPE: (1, True), NO_PROXIES: ("", True), ROOTS: (True, False)}),
                                  findings=["cfg-foreign-line", "cfg-foreign-line"], mode="tovk")

    def fleet_answers(self):
        """check --format intune and configmgr: each exit code and output."""
        code, text = self.prefix.run([self.ctl.exe, "check", "--format", "intune", "--record"], check=False)
        self.assertEqual(0, code, text)
        settings = json.loads(text.splitlines()[0])
        code, configmgr = self.prefix.run([self.ctl.exe, "check", "--format", "configmgr"], check=False)
        self.assertEqual(0, code, configmgr)
        for name, value in settings.items():
            shown = self.prefix.query_value(r"SOFTWARE\Tervia\Agent\Compliance\Firefox", name)
            want = hex(int(value)) if isinstance(value, (bool, int)) else value
            self.assertEqual(want, shown, name)
        return settings, configmgr.strip()

    def test_check_policy_overrides_the_proxy_lock(self):
        self.ctl("start", "tovk")
        settings, configmgr = self.fleet_answers()
        self.assertEqual((True, "", "Compliant"), (settings["FirefoxStartsLocked"], settings["FindingCodes"], configmgr))
        firefox.write_policies(self.install, {"Proxy": {"Mode": "none", "Locked": True}})
        self.assertFirefoxReports(expect(LOADED, PROXY_LOCKED, ROOTS_LOCKED, {PROXY_TYPE: (0, True)}),
                                  findings=["policy-overrides"], mode="tovk")
        settings, configmgr = self.fleet_answers()
        self.assertEqual((False, "policy-overrides", "NonCompliant: policy-overrides"),
                         (settings["FirefoxStartsLocked"], settings["FindingCodes"], configmgr))

    def test_recorded_scenarios_still_hold(self):
        """Firefox still makes of a sample of the recorded scenarios what it
        made when the table was recorded: every encoding case of one mode,
        and two more drawn at random."""
        with open(TRUTH_TABLE) as f:
            table = json.load(f)
        # A start that stops on an error costs its whole timeout: the sample
        # is of starts Firefox read.
        recorded = [s for s in table["scenarios"] if s["mode_given"] and not s["firefox"]["blocked"]]
        encodings = [s for s in recorded if s["mode"] == "tovk" and any(
            entry["eol"] != "lf" or entry["encoding"] != "utf-8" for entry in s["files"])]
        seed = int(os.environ.get("PELORIN_TRUTH_SEED", time.time()))
        sample = encodings + random.Random(seed).sample(recorded, 2)
        print("  truth sample seed %d (PELORIN_TRUTH_SEED replays it)" % seed, file=sys.stderr)
        changed = []
        for scenario in sample:
            firefox.reset_install(self.install)
            for entry in scenario["files"]:
                firefox.write_bytes(self.install, entry["path"], scenarios.encode(entry))
            try:
                with firefox.Firefox(self.install, self.work, timeout=ARGS.timeout) as ff:
                    prefs = ff.read_prefs()
                answer = {"blocked": False, "prefs": {n: [p.value, p.locked] for n, p in prefs.items()}}
            except firefox.FirefoxError:
                answer = {"blocked": True}
            if answer != scenario["firefox"]:
                changed.append("%s\n  recorded: %s\n  now:      %s" % (scenario["name"], scenario["firefox"], answer))
        version = firefox.version(self.install)
        self.assertEqual([], changed, "Firefox %s answers otherwise than the recorded %s" % (
            version, table["firefox_version"]))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="build folder holding pelorinctl.exe")
    parser.add_argument("--work", required=True, help="scratch folder, removed at the end")
    parser.add_argument("--timeout", type=float, default=45.0, help="seconds one Firefox start may take")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()

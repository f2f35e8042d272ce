#!/usr/bin/env python3
"""The fleet files against the pelorinctl.exe they drive: they parse, they
call only options the tool has, every setting a rule or a registry reader
names is there with the type it expects, and within Intune's limits.

    fleet_test.py --bin BUILD/bin --work DIR   (WINEPREFIX set, server up)
"""

import argparse
import json
import os
import re
import sys
import unittest

import yaml

sys.dont_write_bytecode = True
ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
sys.path.insert(0, os.path.join(ROOT, "tools", "sandbox"))

import wine  # noqa: E402

FLEET = os.path.join(ROOT, "fleet")
KEY = r"SOFTWARE\Tervia\Agent\Compliance\Firefox"
TYPES = {"Boolean": bool, "Int64": int, "String": str}
ARGS = None


def fleet_file(relative):
    with open(os.path.join(FLEET, relative), encoding="utf-8") as f:
        return f.read()


class Fleet(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = wine.WinePrefix(os.environ["WINEPREFIX"])
        cls.ctl = os.path.join(ARGS.bin, "pelorinctl.exe")
        cls.prefix.import_reg(wine.wipe_reg())

    @classmethod
    def tearDownClass(cls):
        cls.prefix.import_reg(wine.wipe_reg())

    def run_ctl(self, *args):
        return self.prefix.run([self.ctl] + list(args), check=False)

    def registry(self):
        """Each value under the mirror's key: name -> (type, data)."""
        code, text = self.prefix.run(["reg", "query", "HKLM\\" + KEY], check=False)
        self.assertEqual(0, code, text)
        values = {}
        for line in text.splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) >= 2 and parts[1].startswith("REG_"):
                values[parts[0]] = (parts[1], parts[2] if len(parts) == 3 else "")
        return values

    def test_intune_rules_are_the_tools_and_name_its_settings_with_their_types(self):
        code, rules_text = self.run_ctl("check", "--intune-rules")
        self.assertEqual(0, code, rules_text)
        self.assertEqual(fleet_file("intune/pelorin-firefox-rules.json"), rules_text)
        rules = json.loads(rules_text)["Rules"]
        self.assertLessEqual(len(rules), 100)
        self.assertLessEqual(len(rules_text.encode()), 100 * 1024)
        code, line = self.run_ctl("check", "--format", "intune")
        self.assertEqual(0, code, line)  # no Firefox here: findings, yet the check ran
        self.assertEqual(1, len(line.splitlines()))
        self.assertLessEqual(len(line.encode()), 1024 * 1024)
        settings = json.loads(line)
        for rule in rules:
            self.assertIn(rule["SettingName"], settings)
            self.assertIs(TYPES[rule["DataType"]], type(settings[rule["SettingName"]]), rule["SettingName"])
            self.assertTrue(rule["RemediationStrings"][0]["Description"], rule["SettingName"])
        self.assertEqual({"Language", "Title", "Description"}, set(rules[0]["RemediationStrings"][0]))

    def test_settings_follow_the_verdict(self):
        loader = 'pref("general.config.obscure_value", 0);\npref("general.config.filename", "cv_mozilla_V2N.cfg");\n'
        rows = [
            # A preference the mode does not set holds, so one rule serves every mode.
            (None, ["--mode", "tovk"], {"FirefoxFound": False, "FirefoxNotRegistered": True, "Mode": "tovk",
                                        "ProxyTypeHolds": False, "PkixVerificationHolds": True}),
            ({}, [], {"FirefoxFound": False, "FirefoxNotRegistered": False, "InstallFolderMissing": True,
                      "Mode": "", "FindingCount": 1, "FindingCodes": "install-folder-missing"}),
            # Three lines missing and a policy: four findings of two codes.
            ({"defaults/pref/!.js": loader, "cv_mozilla_V2N.cfg": "//\n",
              "distribution/policies.json": '{"policies": {"Proxy": {"Mode": "none"}}}'},
             ["--mode", "tovk"], {"FirefoxFound": True, "FindingCount": 4, "CfgLineMissing": True,
                                  "FindingCodes": "cfg-line-missing,policy-overrides"}),
        ]
        for index, (files, args, expected) in enumerate(rows):
            registration = ""
            if files is not None:
                install = os.path.join(ARGS.work, "firefox-%d" % index)
                for relative, text in files.items():
                    os.makedirs(os.path.dirname(os.path.join(install, relative)), exist_ok=True)
                    with open(os.path.join(install, relative), "w") as f:
                        f.write(text)
                registration = wine.registration_reg(install)
            self.prefix.import_reg(wine.wipe_reg() + registration)
            code, line = self.run_ctl("check", "--format", "intune", *args)
            settings = json.loads(line)
            self.assertEqual(expected, {name: settings[name] for name in expected}, args)
            code, line = self.run_ctl("check", "--format", "configmgr", *args)
            self.assertEqual("NonCompliant: " + settings["FindingCodes"] + "\n", line)
        self.prefix.import_reg(wine.wipe_reg())

    def test_registry_readers_find_every_value_they_name(self):
        self.prefix.import_reg("[HKEY_LOCAL_MACHINE\\%s]\n\"FromAnOldRun\"=\"x\"\n\n" % KEY)
        code, text = self.run_ctl("check", "--record", "--format", "configmgr")
        self.assertEqual((0, "NonCompliant: firefox-not-registered\n"), (code, text))
        values = self.registry()
        self.assertNotIn("FromAnOldRun", values)
        self.assertEqual(("REG_DWORD", "0x0"), values["FirefoxStartsLocked"])
        self.assertEqual(("REG_SZ", "firefox-not-registered"), values["FindingCodes"])
        self.assertRegex(values["CheckedAt"][1], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        wazuh = yaml.safe_load(fleet_file("wazuh/tervia_firefox_locks.yml"))
        rules = wazuh["requirements"]["rules"] + [r for check in wazuh["checks"] for r in check["rules"]]
        osquery = json.loads(fleet_file("osquery/pelorin-firefox.conf"))["queries"]["pelorin_firefox_compliance"]
        names = re.search(r"name IN \(([^)]*)\)", osquery["query"]).group(1)
        self.assertIn("key = '%s'" % ("HKEY_LOCAL_MACHINE\\" + KEY), osquery["query"])
        named = [re.findall(r"'([^']+)'", names)]
        for rule in rules:
            key, name = re.match(r"r:(.*?) -> (\w+)", rule).groups()
            self.assertEqual("HKEY_LOCAL_MACHINE\\" + KEY, key)
            named.append([name])
        for name in sum(named, []):
            self.assertIn(name, values)

    def test_scripts_call_only_what_the_tool_has(self):
        for script in ("intune/Detect-FirefoxLocked.ps1", "configmgr/Discover-FirefoxLocked.ps1"):
            calls = re.findall(r"\)\s+(check\b[^\n]*)", fleet_file(script))
            self.assertTrue(calls, script)
            for call in calls:
                args = call.split()
                code, text = self.run_ctl(*args)
                self.assertEqual(0, code, "%s: pelorinctl %s\n%s" % (script, " ".join(args), text))

    def test_summary_and_json_answer_as_scripts_read_them(self):
        code, text = self.run_ctl("check", "--format", "summary")
        self.assertEqual(1, code)
        self.assertEqual(1, len(text.splitlines()))
        self.assertLessEqual(len(text), 2048)
        self.assertIn("firefox-not-registered", text)
        # Typed as Firefox types the values, so a script compares them with Firefox's.
        for args in (["--json", "check"], ["check", "--format", "json"]):
            code, text = self.run_ctl(*args, "--mode", "tovk")
            report, _ = json.JSONDecoder().raw_decode(text)
            self.assertEqual('[[5, true, false], ["", true, false], [true, true, false]]',
                             json.dumps([[p["value"], p["locked"], p["holds"]] for p in report["preferences"]]))
            self.assertEqual((1, False), (code, report["locked"]))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--work", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()

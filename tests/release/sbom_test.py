"""The bill of materials names, for each shipped binary, the components linked into it, each at the version
of the Debian package it came from, and the binary's own checksum.

    sbom_test.py SBOM_SCRIPT BUILD_DIR
"""
import hashlib
import json
import subprocess
import sys

ALL = {"Pelorin.dll", "Orlix.dll", "pelorinctl.exe"}
GCC = "GPL-3.0-or-later WITH GCC-exception-3.1"  # the runtime exception is what allows static linking
# component, Debian package that ships it, the binaries that link it in (and no other does), its licence
ROWS = [
    ("libstdc++", "g++-mingw-w64-x86-64-posix", ALL, GCC),
    ("libgcc", "gcc-mingw-w64-x86-64-posix", ALL, GCC),
    ("libssp", "gcc-mingw-w64-x86-64-posix", ALL, GCC),
    ("winpthreads", "mingw-w64-x86-64-dev", ALL, "MIT AND BSD-3-Clause"),
    ("RapidJSON", "rapidjson-dev", {"Pelorin.dll", "pelorinctl.exe"}, "MIT"),
    ("CLI11", "libcli11-dev", {"pelorinctl.exe"}, "BSD-3-Clause"),
]


def main():
    script, build = sys.argv[1:3]
    sbom = json.loads(subprocess.run([script, build], check=True, capture_output=True, text=True).stdout)
    packages = {p["SPDXID"]: p for p in sbom["packages"]}
    by_name = {p["name"]: p for p in packages.values()}
    linked = {}
    for r in sbom["relationships"]:
        if r["relationshipType"] == "STATIC_LINK":
            linked.setdefault(packages[r["relatedSpdxElement"]]["name"], set()).add(
                packages[r["spdxElementId"]]["name"])
    failures = [] if sbom["spdxVersion"] == "SPDX-2.3" else [f"spdxVersion {sbom['spdxVersion']}"]

    for name, deb, binaries, licence in ROWS:
        version = subprocess.run(["dpkg-query", "-W", "-f=${Version}", deb], check=True, capture_output=True,
                                 text=True).stdout
        package = by_name.get(name, {})
        if package.get("versionInfo") != version:
            failures.append(f"{name}: version {package.get('versionInfo')}, but {deb} is {version}")
        if package.get("licenseDeclared") != licence:
            failures.append(f"{name}: licence {package.get('licenseDeclared')}, not {licence}")
        if linked.get(name, set()) != binaries:
            failures.append(f"{name}: linked into {sorted(linked.get(name, []))}, not {sorted(binaries)}")
    for p in packages.values():
        if p["licenseDeclared"] in ("", "NOASSERTION"):
            failures.append(f"{p['name']}: no licence")
    for binary in sorted(ALL):
        with open(f"{build}/bin/{binary}", "rb") as file:
            digest = hashlib.sha256(file.read()).hexdigest()
        if by_name[binary]["checksums"] != [{"algorithm": "SHA256", "checksumValue": digest}]:
            failures.append(f"{binary}: checksum {by_name[binary]['checksums']}, not {digest}")
    if {"spdxElementId": "SPDXRef-Pelorin.dll", "relationshipType": "DYNAMIC_LINK",
            "relatedSpdxElement": "SPDXRef-Orlix.dll"} not in sbom["relationships"]:
        failures.append("Pelorin.dll's import of Orlix.dll is not named")

    print("\n".join(f"FAIL {f}" for f in failures) or f"{len(ROWS)} components and {len(ALL)} binaries as built")
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()

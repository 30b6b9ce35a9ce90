"""Checks the package managers' manifests in DIST (scripts/package.sh's dist/): every hash they give is
that of the file their address names, every field their formats require is there, and they agree with
each other and with the release. Prints one line per fault; prints nothing when there is none."""
import hashlib
import json
import pathlib
import sys

import yaml

dist = pathlib.Path(sys.argv[1])
faults = []
urls = []


def check(condition, fault):
    if not condition:
        faults.append(fault)


def names_file_of_hash(url, digest, where):
    """The file a download address names is the one in dist/, and the hash given is that file's."""
    urls.append(url)
    path = dist / url.rsplit("/", 1)[-1]
    check(url.startswith("https://"), f"{where}: not an https address: {url}")
    check(path.is_file(), f"{where}: names no file of the release: {url}")
    if path.is_file():
        actual = hashlib.sha256(path.read_bytes()).hexdigest()
        check(str(digest).lower() == actual, f"{where}: hash {digest} is not that of {path.name}")


def has(manifest, fields, where):
    missing = [field for field in fields if manifest.get(field) in (None, "", [])]
    check(not missing, f"{where}: lacks {', '.join(missing)}")


version = (dist / "SHA256SUMS").read_text().split("Tendral-")[1].split("-")[0]
winget = {path.name: yaml.safe_load(path.read_text()) for path in (dist / "winget").glob("*.yaml")}
ident = next(iter(winget.values()))["PackageIdentifier"]
required = {  # the fields each file's schema requires
    f"{ident}.yaml": ["DefaultLocale"],
    f"{ident}.installer.yaml": ["Installers", "InstallerType", "Scope", "ProductCode"],
    f"{ident}.locale.en-US.yaml": ["PackageLocale", "Publisher", "PackageName", "License", "ShortDescription"],
}
check(sorted(winget) == sorted(required), f"winget: files {sorted(winget)}, expected {sorted(required)}")
for name, manifest in winget.items():
    has(manifest, ["PackageIdentifier", "PackageVersion", "ManifestType", "ManifestVersion",
                   *required.get(name, [])], name)
    check(manifest.get("PackageIdentifier") == ident, f"{name}: another PackageIdentifier")
    check(manifest.get("PackageVersion") == version, f"{name}: PackageVersion is not {version}")
check(len({manifest.get("ManifestVersion") for manifest in winget.values()}) == 1, "winget: schema versions differ")

installer = winget.get(f"{ident}.installer.yaml", {})
locale = winget.get(f"{ident}.locale.en-US.yaml", {})
# The entry winget finds in Apps and Features after installing is the uninstall key the setup writes.
entries = installer.get("AppsAndFeaturesEntries") or [{}]
expected_entry = {"DisplayName": locale.get("PackageName"), "Publisher": locale.get("Publisher"),
                  "DisplayVersion": version, "ProductCode": installer.get("ProductCode")}
check(entries == [expected_entry], f"installer: Apps and Features entry {entries}, expected {[expected_entry]}")
for item in installer.get("Installers", []):
    has(item, ["Architecture", "InstallerUrl", "InstallerSha256"], "installer: an installer")
    names_file_of_hash(item.get("InstallerUrl", ""), item.get("InstallerSha256"), f"winget {item.get('Architecture')}")
check(sorted(item.get("Architecture") for item in installer.get("Installers", [])) == ["x64", "x86"],
      "installer: not one installer per architecture")

scoop = json.loads((dist / "tendral.json").read_text())
has(scoop, ["version", "description", "license", "architecture", "bin", "shortcuts"], "tendral.json")
check(scoop.get("version") == version, "tendral.json: another version")
check(sorted(scoop.get("architecture", {})) == ["32bit", "64bit"], "tendral.json: not both architectures")
for arch, item in scoop.get("architecture", {}).items():
    names_file_of_hash(item.get("url", ""), item.get("hash"), f"scoop {arch}")
    check(item.get("url", "").endswith(f"-{'x64' if arch == '64bit' else 'x86'}.zip"), f"scoop {arch}: another zip")
check(scoop.get("bin") == "Velkaro.exe" and scoop.get("shortcuts", [[None]])[0][0] == "Velkaro.exe",
      "tendral.json: the program is not Velkaro.exe")
check(len({url.rsplit("/", 1)[0] for url in urls}) == 1, f"the addresses have more than one base: {urls}")

print("\n".join(faults))

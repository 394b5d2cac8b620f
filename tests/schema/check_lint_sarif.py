#!/usr/bin/env python3
"""Checks `ticket2dict lint --format sarif` against SARIF 2.1.0 (the part of its
schema that lint writes, in sarif-2.1.0-subset.json beside this file): a task
file with mistakes of each kind, a malformed one and an example that fails on
purpose, in one run.

Usage: check_lint_sarif.py SOURCE_DIR TICKET2DICT
"""
import json
import os
import subprocess
import sys
import tempfile

try:
    from jsonschema import Draft7Validator
except ImportError:
    sys.exit("python3-jsonschema is not installed (tools/install-deps.sh installs it)")


def main():
    source, program = sys.argv[1], sys.argv[2]
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "sarif-2.1.0-subset.json")) as f:
        schema = json.load(f)
    Draft7Validator.check_schema(schema)
    validator = Draft7Validator(schema, format_checker=Draft7Validator.FORMAT_CHECKER)
    with open(os.path.join(source, "examples", "typical.json"), encoding="utf-8") as f:
        task = json.load(f)
    master = task["ticket"]["configuration"]["Masters"]["M1"]
    master["Options"]["HDistortion"] = 1
    job = master["Jobs"][0]
    job["Rotaton"] = job.pop("Rotation")
    job["HPos"] = 900000
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        planted = os.path.join(folder, "planted mistakes.json")
        with open(planted, "w", encoding="utf-8") as f:
            json.dump(task, f, indent=2)
        with open(os.path.join(folder, "broken.json"), "w", encoding="utf-8") as f:
            f.write('{"setup": ')
        run = subprocess.run([program, "lint", folder, os.path.join(source, "examples", "multi-job.json"),
                              "--format", "sarif"], capture_output=True)
    if run.returncode != 2:
        failures.append(f"lint exits {run.returncode}, not 2 (a malformed file among them)")
    log = json.loads(run.stdout)
    for error in validator.iter_errors(log):
        failures.append(f"{error.json_path}: {error.message}")
    results = log["runs"][0]["results"]
    rules = [rule["id"] for rule in log["runs"][0]["tool"]["driver"]["rules"]]
    found = {result["ruleId"] for result in results}
    for code in ("type", "misspelling", "off-plate", "malformed", "qxmsm.failaddjob"):
        if code not in found:
            failures.append(f"no result of rule {code}")
    for result in results:
        if rules[result["ruleIndex"]] != result["ruleId"]:
            failures.append(f"result of {result['ruleId']} points at rule {rules[result['ruleIndex']]}")
    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Checks the task file's JSON Schema (docs/task-file.schema.json): every example
task file validates; mistakes that the task-file reader refuses are refused by
the schema too (and still by the reader, so the two can't drift apart); and
`ticket2dict schema` prints exactly the file.

Usage: check_task_file_schema.py SOURCE_DIR TICKET2DICT
"""
import copy
import glob
import json
import os
import subprocess
import sys
import tempfile

try:
    from jsonschema import Draft202012Validator
except ImportError:
    sys.exit("python3-jsonschema is not installed (tools/install-deps.sh installs it)")

MASTER = ["ticket", "configuration", "Masters", "M1"]
JOB = MASTER + ["Jobs", 0]

# (what is wrong, key path into examples/typical.json, value put there)
REFUSED = [
    ("an unknown tag", MASTER + ["Options", "Copies"], {"@int16": 1}),
    ("an unknown top-level key", ["server"], {}),
    ("a misspelt service", ["servers", "", "FileSever"], {}),
    ("a @uint16 out of range", MASTER + ["Options", "Copies"], {"@uint16": 70000}),
    ("an @int32 out of range", JOB + ["Rotation"], {"@int32": 2147483648}),
    ("a tag beside another key", JOB + ["HScale"], {"@double": 1.0, "x": 1}),
    ("a plain key before a tag", JOB + ["HScale"], {"x": 1, "@double": 1.0}),
    ("a plain null in the ticket", JOB + ["Rotation"], None),
    ("an @url that is not a text", ["ticket", "work", "Inputfolder"], {"@url": 5}),
    ("an @url with a single leading backslash", ["ticket", "work", "Inputfolder"], {"@url": "\\in"}),
    ("an @array without @lower", ["jobs", 0, "jobArray"], {"@array": []}),
    ("an unknown key of setup", ["setup", "pageflags"], [0, 0, 0, 0]),
    ("three page flags", ["setup", "pageFlags"], [0, 0, 0]),
    ("an AddJob call without its index", ["jobs", 0, "index"], None),
    ("an unknown key of a service", ["servers", "", "CFS", "root"], {}),
    ("a template name that is a number", ["task", "templateNames", "file"], 1),
]


def put(document, path, value):
    changed = copy.deepcopy(document)
    parent = changed
    for key in path[:-1]:
        parent = parent[key]
    parent[path[-1]] = value
    return changed


def main():
    source, program = sys.argv[1], sys.argv[2]
    schema_path = os.path.join(source, "docs", "task-file.schema.json")
    with open(schema_path, "rb") as f:
        schema_bytes = f.read()
    schema = json.loads(schema_bytes)
    Draft202012Validator.check_schema(schema)
    validator = Draft202012Validator(schema)
    failures = []

    examples = [p for p in glob.glob(os.path.join(source, "examples", "*.json")) if not p.endswith(".expected.json")]
    examples.append(os.path.join(source, "examples", "flavour", "task.json"))
    for path in sorted(examples):
        with open(path, encoding="utf-8") as f:
            for error in validator.iter_errors(json.load(f)):
                failures.append(f"{os.path.relpath(path, source)}: {error.json_path}: {error.message}")

    with open(os.path.join(source, "examples", "typical.json"), encoding="utf-8") as f:
        typical = json.load(f)
    with tempfile.TemporaryDirectory() as folder:
        for what, path, value in REFUSED:
            task = put(typical, path, value)
            if validator.is_valid(task):
                failures.append(f"the schema accepts {what}")
            task_file = os.path.join(folder, "task.json")
            with open(task_file, "w", encoding="utf-8") as f:
                json.dump(task, f)
            run = subprocess.run([program, "run", task_file], capture_output=True)
            if run.returncode != 2:
                failures.append(f"the reader accepts {what} (exit {run.returncode})")

    printed = subprocess.run([program, "schema"], capture_output=True)
    if printed.returncode != 0 or printed.stdout != schema_bytes:
        failures.append(f"`ticket2dict schema` (exit {printed.returncode}) does not print docs/task-file.schema.json")

    for failure in failures:
        print(failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

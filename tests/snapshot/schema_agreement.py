#!/usr/bin/python3
"""The JSON Schema in docs/ and the widget's decoder accept and refuse the same documents."""
import copy
import json
import os
import subprocess
import sys
import tempfile

import jsonschema

source, binary = sys.argv[1], sys.argv[2]
schema = json.load(open(os.path.join(source, "docs/widget-snapshot.schema.json")))
validator = jsonschema.Draft202012Validator(
    schema, format_checker=jsonschema.Draft202012Validator.FORMAT_CHECKER)
base = json.load(open(os.path.join(source, "examples/full.json")))


def variant(path, value):
    doc = copy.deepcopy(base)
    target = doc
    for key in path[:-1]:
        target = target[key]
    if value is KeyError:
        del target[path[-1]]
    else:
        target[path[-1]] = value
    return doc


cases = [copy.deepcopy(base)]
for name in sorted(os.listdir(os.path.join(source, "examples"))):
    cases.append(json.load(open(os.path.join(source, "examples", name))))
for path in (["repoCount"], ["byProvider"], ["health"], ["topRepos", 0, "name"],
             ["nextBackup", "fireDate"], ["byProvider", 1, "bytes"]):
    cases += [variant(path, KeyError), variant(path, None)]
cases += [
    variant(["nextBackup"], KeyError), variant(["nextBackup"], None),
    variant(["health"], "OK"), variant(["health"], "running"), variant(["health"], 0),
    variant(["repoCount"], "12"), variant(["repoCount"], 12.5), variant(["repoCount"], 2**63),
    variant(["repoCount"], -2**63), variant(["repoCount"], 2**63 - 1),
    variant(["generatedAt"], "2026-03-14T09:30:00"), variant(["generatedAt"], "2026-03-14"),
    variant(["generatedAt"], "2026-03-14T10:30:00.5+01:00"), variant(["generatedAt"], 1773480600),
    variant(["generatedAt"], "2026-03-14T09:60:00Z"), variant(["generatedAt"], "2026-03-14T24:00:00Z"),
    variant(["topRepos"], {}), variant(["byProvider", 0], []), variant(["extra"], {"x": [1]}),
    [], "text",
]

failures = 0
with tempfile.TemporaryDirectory() as tmp:
    path = os.path.join(tmp, "doc.json")
    for doc in cases:
        with open(path, "w") as out:
            json.dump(doc, out)
        decoder = subprocess.run([binary, "check", path], capture_output=True).returncode == 0
        schema_ok = validator.is_valid(doc)
        if decoder != schema_ok:
            failures += 1
            print(f"disagree: decoder={decoder} schema={schema_ok}: {json.dumps(doc)[:200]}")
print(f"{len(cases) - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)

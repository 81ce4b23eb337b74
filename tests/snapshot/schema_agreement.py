#!/usr/bin/python3
"""The JSON Schema in docs/ and the widget's decoder accept and refuse the same documents."""
import copy
import functools
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
    target = functools.reduce(lambda parent, key: parent[key], path[:-1], doc)
    if value is KeyError:
        del target[path[-1]]
    else:
        target[path[-1]] = value
    return doc


cases = [json.load(open(os.path.join(source, "examples", name)))
         for name in sorted(os.listdir(os.path.join(source, "examples")))]
for path in (["repoCount"], ["byProvider"], ["health"], ["topRepos", 0, "name"],
             ["nextBackup", "fireDate"], ["byProvider", 1, "bytes"], ["nextBackup"]):
    cases += [variant(path, KeyError), variant(path, None)]
for path, values in (
        (["health"], ["OK", "running", 0]),
        (["repoCount"], ["12", 12.5, 2**63, -2**63, 2**63 - 1]),
        (["generatedAt"], ["2026-03-14T09:30:00", "2026-03-14T10:30:00.5+01:00", 1773480600,
                           "2026-03-14T09:60:00Z", "2026-03-14T24:00:00Z"]),
        (["topRepos"], [{}]), (["byProvider", 0], [[]]), (["extra"], [{"x": [1]}])):
    cases += [variant(path, value) for value in values]
cases += [[], "text"]

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

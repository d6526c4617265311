#!/usr/bin/env python3
"""Checks every example experiment against the experiment file's JSON Schema, and that the schema
refuses a file the program refuses."""
import json
import pathlib
import sys

import jsonschema

root = pathlib.Path(sys.argv[1])
schema = json.loads((root / "docs" / "experiment.schema.json").read_text())
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)
examples = sorted((root / "examples").glob("*.kelvora.json"))
assert examples, "no example experiments"
for path in examples:
    validator.validate(json.loads(path.read_text()))
for bad in ({"mutation": 1.5}, {"population": 0}, {"mutaton": 0.1}, {"selection": "best"}):
    document = {"format": "kelvora-experiment", "version": 1, "configurations": [bad], "seeds": "1..10"}
    assert not validator.is_valid(document), bad
print(f"{len(examples)} examples valid")

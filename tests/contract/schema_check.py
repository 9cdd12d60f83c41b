#!/usr/bin/env python3
"""python3-jsonschema's verdict on lines of JSON, one per input line:

    schema_check.py SCHEMA < lines

prints "valid", "invalid" or "not-json" for each line, in order, after
checking the schema itself against its draft's metaschema (exit status 2 if
it does not pass). The second opinion on tests/support/event_schema.cpp."""

import json
import sys

import jsonschema

with open(sys.argv[1], encoding="utf-8") as source:
    schema = json.load(source)
try:
    jsonschema.Draft202012Validator.check_schema(schema)
except jsonschema.SchemaError as error:
    sys.exit(f"the schema itself is not valid: {error.message}")
validator = jsonschema.Draft202012Validator(schema)


def strict(constant):
    """NaN and Infinity are Python's extension, not JSON."""
    raise ValueError(constant)


for line in sys.stdin.buffer.read().decode("utf-8").split("\n")[:-1]:
    try:
        value = json.loads(line, parse_constant=strict)
    except ValueError:
        print("not-json")
        continue
    print("valid" if validator.is_valid(value) else "invalid")

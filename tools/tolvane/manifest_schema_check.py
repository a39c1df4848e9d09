#!/usr/bin/env python3
"""Validates manifest files against the package manager's JSON schemas.

usage: manifest_schema_check.py SCHEMA_FOLDER FILE.yaml...

Each file is read as YAML and checked against the schema of its own
ManifestType and ManifestVersion (manifest.<type>.<version>.json in
SCHEMA_FOLDER). Prints one line per problem; exit 0 when every file is valid,
1 when one is not, 3 when python3-yaml or python3-jsonschema is missing.
"""
import json
import os
import sys

try:
    import jsonschema
    import yaml
except ImportError as missing:
    print(f"manifest_schema_check: {missing.name} missing: install python3-yaml and python3-jsonschema", file=sys.stderr)
    sys.exit(3)


def main(arguments):
    if len(arguments) < 2:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    folder, files = arguments[0], arguments[1:]
    failed = False
    for name in files:
        with open(name, encoding="utf-8") as stream:
            document = yaml.safe_load(stream)
        schema_file = os.path.join(folder, f"manifest.{document.get('ManifestType')}.{document.get('ManifestVersion')}.json")
        if not os.path.isfile(schema_file):
            print(f"{name}: no schema {schema_file}")
            failed = True
            continue
        with open(schema_file, encoding="utf-8") as stream:
            schema = json.load(stream)
        validator = jsonschema.Draft7Validator(schema)
        for error in sorted(validator.iter_errors(document), key=lambda e: list(e.path)):
            where = "/".join(str(part) for part in error.path) or "(top)"
            print(f"{name}: {where}: {error.message}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

#!/usr/bin/env python3
# Usage: validate_json.py SCHEMA_DIR COMMAND DOCUMENT_FILE. Validates one orvc --json document
# against its command's schema; prints every problem and exits 1 when there is one.
import json
import pathlib
import sys
import warnings

import jsonschema

# RefResolver is deprecated in newer releases but is what Debian 12's 4.10 offers.
warnings.simplefilter("ignore", DeprecationWarning)

schema_path = pathlib.Path(sys.argv[1]).resolve() / f"{sys.argv[2]}.json"
schema = json.loads(schema_path.read_text())
jsonschema.Draft202012Validator.check_schema(schema)
resolver = jsonschema.RefResolver(base_uri=schema_path.as_uri(), referrer=schema)
document = json.loads(pathlib.Path(sys.argv[3]).read_text(encoding="utf-8"))
errors = list(jsonschema.Draft202012Validator(schema, resolver=resolver).iter_errors(document))
for error in errors:
    # Under anyOf the causes say more than the summary, which repeats the whole document.
    for cause in sorted(error.context, key=lambda e: len(e.path)) or [error]:
        print(f"{list(cause.absolute_path)}: {cause.message[:300]}")
sys.exit(1 if errors else 0)

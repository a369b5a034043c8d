#!/usr/bin/env python3
"""Test helper: signs a file's exact bytes into a feed envelope, without checking the document,
so the tests can hand the program documents that the signing tool would refuse.

  signbytes.py TOOL PRIVATE.pem DOCUMENT > envelope.json
"""
import importlib.machinery
import importlib.util
import json
import sys

tool_path, private, document = sys.argv[1:4]
loader = importlib.machinery.SourceFileLoader("quorvel_feed", tool_path)
module_spec = importlib.util.spec_from_loader("quorvel_feed", loader)
tool = importlib.util.module_from_spec(module_spec)
loader.exec_module(tool)
with open(document, "rb") as f:
    print(json.dumps(tool.sign_bytes(tool.load_private(private), f.read())))

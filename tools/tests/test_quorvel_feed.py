"""The feed signing tool: keys, the document rules it checks before signing, signatures in the
64-byte r||s form, and its command line.

  python3 -m unittest discover -s tools/tests
"""

import base64
import contextlib
import copy
import hashlib
import importlib.machinery
import importlib.util
import io
import json
import os
import stat
import tempfile
import unittest

from cryptography.hazmat.primitives import hashes
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.hazmat.primitives.asymmetric.utils import encode_dss_signature

TOOL = os.path.join(os.path.dirname(os.path.abspath(__file__)), os.pardir, "quorvel-feed")
_loader = importlib.machinery.SourceFileLoader("quorvel_feed", TOOL)
feed = importlib.util.module_from_spec(importlib.util.spec_from_loader("quorvel_feed", _loader))
_loader.exec_module(feed)

DOCUMENT = {
    "product": "Quorvel", "version": "5.5.0", "published": "2027-01-15",
    "systems": {
        "windows-x64": {"url": "https://example.org/Quorvel-5.5.0-win64.zip",
                        "size": 12345678, "sha256": "a" * 64},
        "linux-x64": {"url": "https://example.org/Quorvel-5.5.0-linux.tar.gz",
                      "size": 2345, "sha256": "b" * 64},
    },
    "notes": "修复若干问题",
}


def changed(path, value):
    """DOCUMENT with one field (a path of keys) set, or removed when value is ...."""
    document = copy.deepcopy(DOCUMENT)
    *parents, last = path
    target = document
    for key in parents:
        target = target[key]
    if value is ...:
        del target[last]
    else:
        target[last] = value
    return document


def run(*argv):
    out, err = io.StringIO(), io.StringIO()
    with contextlib.redirect_stdout(out), contextlib.redirect_stderr(err):
        code = feed.main(list(argv))
    return code, out.getvalue(), err.getvalue()


class FeedToolTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.key = ec.generate_private_key(ec.SECP256R1())

    def path(self, name):
        return os.path.join(self.dir.name, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def test_signature_is_raw_r_s_over_the_exact_bytes(self):
        data = json.dumps(DOCUMENT, ensure_ascii=False).encode()
        envelope = feed.sign(self.key, data)
        self.assertEqual(base64.b64decode(envelope["feed"]), data)
        raw = base64.b64decode(envelope["signature"])
        self.assertEqual(len(raw), 64)
        der = encode_dss_signature(int.from_bytes(raw[:32], "big"), int.from_bytes(raw[32:], "big"))
        self.key.public_key().verify(der, data, ec.ECDSA(hashes.SHA256()))
        point = feed.public_point(self.key.public_key())
        self.assertEqual(envelope["key"], hashlib.sha256(point).hexdigest()[:16])

    def test_verify_refuses_tampering(self):
        envelope = feed.sign(self.key, json.dumps(DOCUMENT).encode())
        self.assertEqual(feed.verify(self.key.public_key(), json.dumps(envelope))["version"],
                         "5.5.0")
        data = bytearray(base64.b64decode(envelope["feed"]))
        data[20] ^= 1
        raw = bytearray(base64.b64decode(envelope["signature"]))
        raw[40] ^= 1
        other = ec.generate_private_key(ec.SECP256R1()).public_key()
        cases = {
            "document": (dict(envelope, feed=base64.b64encode(data).decode()), None),
            "signature": (dict(envelope, signature=base64.b64encode(raw).decode()), None),
            "other key": (envelope, other),
            "not base64": (dict(envelope, feed="!!"), None),
            "no key id": ({k: v for k, v in envelope.items() if k != "key"}, None),
        }
        for name, (bad, key) in cases.items():
            with self.subTest(name), self.assertRaises(feed.FeedError):
                feed.verify(key or self.key.public_key(), json.dumps(bad))

    def test_document_rules(self):
        cases = [
            (("product",), "Quorvel2"), (("product",), ...),
            (("version",), "5"), (("version",), "5.5.0.1.2"), (("version",), "5.5b"),
            (("version",), 5.5), (("version",), "5.5.0\n"),
            (("published",), "2027-02-30"), (("published",), "2027-1-15"),
            (("notes",), 3), (("systems",), {}), (("systems",), []),
            (("systems", "macos-x64"), DOCUMENT["systems"]["linux-x64"]),
            (("systems", "linux-x64", "url"), "http://example.org/Q.zip"),
            (("systems", "linux-x64", "url"), "ftp://example.org/Q.zip"),
            (("systems", "linux-x64", "url"), "https://me@example.org/Q.zip"),
            (("systems", "linux-x64", "url"), "https:///Q.zip"),
            (("systems", "linux-x64", "size"), 0), (("systems", "linux-x64", "size"), 12.5),
            (("systems", "linux-x64", "size"), True), (("systems", "linux-x64", "size"), "12"),
            (("systems", "linux-x64", "size"), feed.MAX_ARCHIVE + 1),
            (("systems", "linux-x64", "sha256"), "a" * 63),
            (("systems", "linux-x64", "sha256"), "g" * 64),
            (("systems", "linux-x64", "sha256"), ...),
        ]
        for path, value in cases:
            with self.subTest(path=path, value=value), self.assertRaises(feed.FeedError):
                feed.sign(self.key, json.dumps(changed(path, value)).encode())
        accepted = [
            (("notes",), ...), (("version",), "5.5.0.12"),
            (("systems", "linux-x64"), ...),
            (("systems", "linux-x64", "url"), "http://127.0.0.1:8080/Q.zip"),
            (("systems", "linux-x64", "url"), "http://localhost/Q.zip"),
            (("systems", "linux-x64", "size"), feed.MAX_ARCHIVE),
            (("systems", "linux-x64", "sha256"), "A" * 64),
        ]
        for path, value in accepted:
            with self.subTest(path=path, value=value):
                feed.sign(self.key, json.dumps(changed(path, value)).encode())

    def test_keygen_writes_a_private_file_once(self):
        key_path = self.path("maker.pem")
        code, out, _ = run("keygen", key_path)
        self.assertEqual(code, 0)
        self.assertEqual(stat.S_IMODE(os.stat(key_path).st_mode), 0o600)
        lines = dict(line.split(": ", 1) for line in out.splitlines())
        point = bytes.fromhex(lines["hex"])
        self.assertEqual(base64.b64decode(lines["base64"]), point)
        self.assertEqual(feed.public_point(feed.load_private(key_path).public_key()), point)
        self.assertEqual(lines["id"], feed.key_id(point))
        with open(key_path, "rb") as f:
            before = f.read()
        code, _, err = run("keygen", key_path)
        self.assertEqual(code, 1)
        self.assertIn("exists", err)
        with open(key_path, "rb") as f:
            self.assertEqual(f.read(), before)

    def test_command_line_sign_with_archive_and_verify(self):
        key_path = self.path("maker.pem")
        _, out, _ = run("keygen", key_path)
        hex_point = dict(line.split(": ", 1) for line in out.splitlines())["hex"]
        archive = self.write("Quorvel-win64.zip", b"PK" + bytes(range(256)) * 40)
        document = self.write("feed.json", json.dumps(DOCUMENT).encode())
        code, signed, err = run("sign", key_path, document, "--archive",
                                f"windows-x64={archive}")
        self.assertEqual(code, 0, err)
        envelope = self.write("feed.signed.json", signed.encode())
        entry = json.loads(base64.b64decode(json.loads(signed)["feed"]))["systems"]["windows-x64"]
        self.assertEqual(entry["size"], os.path.getsize(archive))
        with open(archive, "rb") as f:
            self.assertEqual(entry["sha256"], hashlib.sha256(f.read()).hexdigest())
        for public in (hex_point, key_path):
            code, out, err = run("verify", public, envelope)
            self.assertEqual(code, 0, err)
            self.assertIn("Quorvel 5.5.0", out)
        code, _, err = run("sign", key_path, document, "--archive", f"macos-x64={archive}")
        self.assertEqual(code, 1)
        self.assertIn("macos-x64", err)

    def test_command_line_refuses_a_bad_document_without_output(self):
        key_path = self.path("maker.pem")
        run("keygen", key_path)
        document = self.write("feed.json",
                              json.dumps(changed(("product",), "Other")).encode())
        code, out, err = run("sign", key_path, document)
        self.assertEqual((code, out), (1, ""))
        self.assertIn("product", err)


if __name__ == "__main__":
    unittest.main()

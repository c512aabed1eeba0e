#!/usr/bin/env python3
"""Runs a command and checks that its standard output is exactly the bytes of a file.
   compare_output.py EXPECTED COMMAND [ARGS...]"""
import subprocess
import sys

expected = open(sys.argv[1], "rb").read()
done = subprocess.run(sys.argv[2:], capture_output=True)
sys.stderr.write(done.stderr.decode("utf-8", "replace"))
if done.returncode != 0:
    sys.exit(f"exit status {done.returncode}")
if done.stdout != expected:
    sys.stdout.write(f"output differs from {sys.argv[1]}:\n{done.stdout!r}\n")
    sys.exit(1)
print(f"{len(expected)} bytes as expected")

#!/usr/bin/env python3
"""linkmeter-cli --demo ends cleanly (exit 0) with a USB and a LAN unit left open."""
import json
import subprocess
import sys

cli = sys.argv[1]
proc = subprocess.Popen([cli, "--demo", "-"], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                        stderr=subprocess.PIPE, text=True)
units = []
while len(units) < 2:
    line = proc.stderr.readline()
    if not line:
        break
    if line.startswith("demo base unit: "):
        units.append(json.loads(line[len("demo base unit: "):]))
if len(units) < 2:
    proc.kill()
    sys.exit("the demo site did not list its base units")
requests = "".join("jsquery:ComOpen " + json.dumps({"comInfo": u}) + "\n" for u in units)
try:
    out, err = proc.communicate(requests, timeout=30)
except subprocess.TimeoutExpired:
    proc.kill()
    sys.exit("linkmeter-cli did not end")
answers = out.splitlines()
print(out + err)
if proc.returncode != 0:
    sys.exit(f"exit status {proc.returncode}")
if len(answers) != 2 or not all(a.startswith("success ") for a in answers):
    sys.exit("both units should have opened")

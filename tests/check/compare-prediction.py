"""Compares SrdwCheck's dry run (its JSON report) with the log of a real launch
cycle and whether the game folder came back as it was.
    compare-prediction.py PREDICTED.json LAUNCHER.log RESTORED(true|false)"""
import json
import sys

report = json.load(open(sys.argv[1]))
log = open(sys.argv[2], "rb").read().decode("latin-1").replace("\r\n", "\n")
restored = sys.argv[3] == "true"


def between(text, start, end):
    begin = text.index(start) + len(start)
    return text[begin:text.index(end, begin)]


real_install = between(log, "\nInstalling script...\n", "\nExecuting 'ShellExecuteEx()'")
# What the launcher adds after an install whose commands did not all go in,
# once the player has answered its question.
chosen = real_install.find("\nThe player chose ")
if chosen >= 0:
    real_install = real_install[:chosen + 1]
real_restore = between(log, "\nRestoring script...\n", "\n~~~~~~~~")
# What the launcher adds after a restore that could not put everything back.
unfinished = real_restore.find("\nERROR: not everything could be put back")
if unfinished >= 0:
    real_restore = real_restore[:unfinished + 1]
run = report["dryRun"]
predicted_install = "".join(line + "\n" for line in run["install"])
predicted_restore = "".join(line + "\n" for line in run["restore"])

ok = True
for what, predicted, real in (("install", predicted_install, real_install),
                              ("restore", predicted_restore, real_restore)):
    if predicted != real:
        ok = False
        print(f"the {what} logs differ:\n--- predicted\n{predicted}--- real\n{real}---")
if run["restored"] != restored:
    ok = False
    print(f"predicted restored={run['restored']}, the launcher left restored={restored}")
codes = [f["code"] for f in report["findings"] if f["severity"] == "error"]
if ("install-fails" in codes) != ("FAILED!" in real_install or "ERROR" in real_install):
    ok = False
    print("the predicted install failures do not match the log:", codes)
print("predicted errors:", ", ".join(codes) or "none", "| restored:", run["restored"])
sys.exit(0 if ok else 1)

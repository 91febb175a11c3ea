#!/usr/bin/env python3
"""Sends a bounded number of digit lookups through the balancer and checks
every answer against the digits file. Halfway through it runs a command (the
caller's way to stop one replica). Exits 0 only when every answer was right
and none failed."""
import argparse
import http.client
import random
import re
import subprocess
import sys
import threading
import time

DIGIT = re.compile(r'<strong class = "text-primary">(\d)</strong>')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, required=True)
    ap.add_argument("--digits", required=True)
    ap.add_argument("--requests", type=int, default=3000)
    ap.add_argument("--clients", type=int, default=8)
    ap.add_argument("--seconds", type=float, default=120.0)
    ap.add_argument("--midway", default="", help="shell command run after half the requests")
    args = ap.parse_args()

    with open(args.digits, "rb") as f:
        digits = f.read()
    if digits.startswith(b"3."):
        digits = digits[2:]
    digits = digits.strip()
    n = len(digits)

    lock = threading.Lock()
    state = {"sent": 0, "ok": 0, "wrong": 0, "failed": 0, "midway_done": False}
    deadline = time.monotonic() + args.seconds
    errors = []

    def take():
        with lock:
            if state["sent"] >= args.requests or time.monotonic() > deadline:
                return None
            state["sent"] += 1
            return state["sent"]

    def run_midway():
        if args.midway:
            subprocess.run(args.midway, shell=True, check=False)

    def client(seed):
        rnd = random.Random(seed)
        conn = None
        while True:
            k = take()
            if k is None:
                break
            if k == args.requests // 2 and not state["midway_done"]:
                state["midway_done"] = True
                run_midway()
            place = rnd.randint(1, n)
            try:
                if conn is None:
                    conn = http.client.HTTPConnection("127.0.0.1", args.port, timeout=10)
                conn.request("GET", "/getNumber.do?index=%d" % place)
                resp = conn.getresponse()
                body = resp.read().decode("utf-8", "replace")
                m = DIGIT.search(body)
                with lock:
                    if resp.status == 200 and m and m.group(1) == chr(digits[place - 1]):
                        state["ok"] += 1
                    elif resp.status == 200:
                        state["wrong"] += 1
                        errors.append("place %d: wrong answer" % place)
                    else:
                        state["failed"] += 1
                        errors.append("place %d: status %d" % (place, resp.status))
            except (OSError, http.client.HTTPException) as e:
                with lock:
                    state["failed"] += 1
                    errors.append("place %d: %s" % (place, e))
                conn = None

    threads = [threading.Thread(target=client, args=(i,)) for i in range(args.clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()

    print("requests %d, right %d, wrong %d, failed %d" % (state["sent"], state["ok"], state["wrong"], state["failed"]))
    for e in errors[:10]:
        print("  " + e)
    all_right = state["ok"] == state["sent"] == args.requests
    midway_ran = state["midway_done"] or not args.midway
    return 0 if all_right and midway_ran else 1


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""The projector's end of a pseudo-terminal line for the end-to-end checks.

Prints the device path the program is to open, then logs every byte it
receives to LOG (appending as they come) and answers the status query "CR0"
with "00" and CR, as a projector that is switched on does. Runs until killed.
"""
import os
import sys
import termios
import tty

log_path = sys.argv[1]
master, slave = os.openpty()
tty.setraw(slave, termios.TCSANOW)
print(os.ttyname(slave), flush=True)

received = b""
with open(log_path, "ab", buffering=0) as log:
    while True:
        data = os.read(master, 4096)
        if not data:
            break
        log.write(data)
        received += data
        while b"\r" in received:
            frame, received = received.split(b"\r", 1)
            if frame.endswith(b"CR0"):
                os.write(master, b"00\r")

#!/usr/bin/python3
"""Asks a Qt program over AT-SPI, from outside, what a screen reader asks
first: the names of its window's children (one GetChildren, one Name per
child), again and again until the program ends. Prints one line per query:
CLOCK_MONOTONIC seconds at its start and its duration in ms.
  accessibility_probe.py APP_NAME PID"""
import os
import sys
import time

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

app_name, pid = sys.argv[1], int(sys.argv[2])
session = Gio.bus_get_sync(Gio.BusType.SESSION, None)
address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", None,
                            GLib.VariantType("(s)"), 0, -1, None).unpack()[0]
bus = Gio.DBusConnection.new_for_address_sync(
    address, Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
    Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION, None, None)


def call(dest, path, iface, method, args, reply):
    return bus.call_sync(dest, path, iface, method, args, GLib.VariantType(reply), 0, 20000,
                         None).unpack()


def name(dest, path):
    return call(dest, path, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", ("org.a11y.atspi.Accessible", "Name")), "(v)")[0]


def children(dest, path):
    return call(dest, path, "org.a11y.atspi.Accessible", "GetChildren", None, "(a(so))")[0]


def alive():
    return os.path.exists(f"/proc/{pid}")


app = None
while app is None and alive():
    for dest, path in children("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"):
        try:
            if name(dest, path) == app_name:
                app = dest
        except GLib.Error:
            pass
    time.sleep(0.05)
while alive():
    try:
        start = time.monotonic()
        windows = children(app, "/org/a11y/atspi/accessible/root")
        captions = [name(d, p) for w in windows[:1] for d, p in children(*w)]
        took = (time.monotonic() - start) * 1000
        print(f"{start:.6f} {took:.2f} {len(captions)}", flush=True)
    except GLib.Error:
        pass  # between windows, or ending
    time.sleep(0.05)

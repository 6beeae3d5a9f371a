#!/usr/bin/python3
"""A stand-in for the desktop's sleep inhibition services, for tests.

Owns, on the session bus it is started on, the services asked for
(--portal, --screensaver, --login1) and appends one line per call to the
log file (--log), so that a test can see which inhibitions were taken and
given back. Prints "ready" once every name is owned.
"""
import argparse
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.Desktop"
SCREENSAVER = "org.freedesktop.ScreenSaver"
LOGIN1 = "org.freedesktop.login1"


class Log:
    def __init__(self, path):
        self.file = open(path, "a", buffering=1)

    def __call__(self, line):
        self.file.write(line + "\n")


class Request(dbus.service.Object):
    def __init__(self, bus, path, number, log):
        super().__init__(bus, path)
        self.number = number
        self.log = log

    @dbus.service.method("org.freedesktop.portal.Request", in_signature="", out_signature="")
    def Close(self):
        self.log("portal-close %d" % self.number)
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/portal/desktop")
        self.bus = bus
        self.log = log
        self.count = 0

    @dbus.service.method("org.freedesktop.portal.Inhibit", in_signature="sua{sv}",
                         out_signature="o", sender_keyword="sender")
    def Inhibit(self, window, flags, options, sender=None):
        self.count += 1
        caller = sender[1:].replace(".", "_")
        path = "/org/freedesktop/portal/desktop/request/%s/t%d" % (caller, self.count)
        Request(self.bus, path, self.count, self.log)
        self.log("portal-inhibit %d flags=%d reason=%s" %
                 (self.count, flags, options.get("reason", "")))
        return dbus.ObjectPath(path)


class ScreenSaver(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/ScreenSaver")
        self.log = log
        self.count = 0

    @dbus.service.method(SCREENSAVER, in_signature="ss", out_signature="u")
    def Inhibit(self, application, reason):
        self.count += 1
        self.log("screensaver-inhibit %d application=%s reason=%s" %
                 (self.count, application, reason))
        return dbus.UInt32(self.count)

    @dbus.service.method(SCREENSAVER, in_signature="u", out_signature="")
    def UnInhibit(self, cookie):
        self.log("screensaver-uninhibit %d" % cookie)


class Login1(dbus.service.Object):
    def __init__(self, bus, log):
        super().__init__(bus, "/org/freedesktop/login1")
        self.log = log
        self.count = 0

    @dbus.service.method("org.freedesktop.login1.Manager", in_signature="ssss",
                         out_signature="h")
    def Inhibit(self, what, who, why, mode):
        self.count += 1
        number = self.count
        read_end, write_end = os.pipe()
        self.log("login1-inhibit %d what=%s who=%s why=%s mode=%s" % (number, what, who, why, mode))

        def closed(fd, condition):
            self.log("login1-release %d" % number)
            os.close(fd)
            return False

        GLib.io_add_watch(read_end, GLib.IO_HUP | GLib.IO_ERR, closed)
        handle = dbus.types.UnixFd(write_end)
        os.close(write_end)
        return handle


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--portal", action="store_true")
    parser.add_argument("--screensaver", action="store_true")
    parser.add_argument("--login1", action="store_true")
    args = parser.parse_args()

    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    log = Log(args.log)
    keep = []
    for wanted, name, kind in ((args.portal, PORTAL, Portal),
                               (args.screensaver, SCREENSAVER, ScreenSaver),
                               (args.login1, LOGIN1, Login1)):
        if wanted:
            keep.append(kind(bus, log))
            keep.append(dbus.service.BusName(name, bus, do_not_queue=True))
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())

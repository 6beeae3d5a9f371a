#!/usr/bin/python3
"""Owns, on the session bus, the sleep inhibition services asked for and logs
one line per call to --log, so a test sees what was taken and given back."""
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

SCREENSAVER = "org.freedesktop.ScreenSaver"


class Service(dbus.service.Object):
    def __init__(self, bus, path, log):
        super().__init__(bus, path)
        self.bus, self.log, self.count = bus, log, 0


class Request(dbus.service.Object):
    def __init__(self, bus, path, number, log):
        super().__init__(bus, path)
        self.number, self.log = number, log

    @dbus.service.method("org.freedesktop.portal.Request", in_signature="", out_signature="")
    def Close(self):
        self.log("portal-close %d" % self.number)
        self.remove_from_connection()


class Portal(Service):
    @dbus.service.method("org.freedesktop.portal.Inhibit", in_signature="sua{sv}",
                         out_signature="o", sender_keyword="sender")
    def Inhibit(self, window, flags, options, sender=None):
        self.count += 1
        path = "/org/freedesktop/portal/desktop/request/%s/t%d" % (
            sender[1:].replace(".", "_"), self.count)
        Request(self.bus, path, self.count, self.log)
        self.log("portal-inhibit %d flags=%d reason=%s" %
                 (self.count, flags, options.get("reason", "")))
        return dbus.ObjectPath(path)


class ScreenSaver(Service):
    @dbus.service.method(SCREENSAVER, in_signature="ss", out_signature="u")
    def Inhibit(self, application, reason):
        self.count += 1
        self.log("screensaver-inhibit %d application=%s reason=%s" %
                 (self.count, application, reason))
        return dbus.UInt32(self.count)

    @dbus.service.method(SCREENSAVER, in_signature="u", out_signature="")
    def UnInhibit(self, cookie):
        self.log("screensaver-uninhibit %d" % cookie)


class Login1(Service):
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
    # --log PATH, and --portal, --screensaver, --login1 for the services to own
    arguments = sys.argv[1:]
    log_file = open(arguments[arguments.index("--log") + 1], "a", buffering=1)
    log = lambda line: log_file.write(line + "\n")
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    keep = []
    for flag, name, kind, path in (
            ("--portal", "org.freedesktop.portal.Desktop", Portal, "/org/freedesktop/portal/desktop"),
            ("--screensaver", SCREENSAVER, ScreenSaver, "/org/freedesktop/ScreenSaver"),
            ("--login1", "org.freedesktop.login1", Login1, "/org/freedesktop/login1")):
        if flag in arguments:
            keep += [kind(bus, path, log), dbus.service.BusName(name, bus, do_not_queue=True)]
    print("ready", flush=True)
    GLib.MainLoop().run()


main()

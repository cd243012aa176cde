package com.vantal.zentrix.util.beans;

import java.util.Vector;

/** The native methods of the front end, implemented by the HostBridge library. */
public class HostBridge {
    static {
        System.loadLibrary("HostBridge");
    }

    /** Logs the user on and returns the user's groups and "END_GROUPS", or a failure word. */
    public native String[] GetGroupList(int unused, String user, String password, String domain);

    /** The machine's drive roots. */
    public native Vector<String> listRoots();

    /** Runs a program (first element) with the arguments and returns its exit code, or -1. */
    public native int execBCP(String[] arguments);

    /** The six-line hardware and operating-system report. */
    public native String[] getSystemInfo();
}

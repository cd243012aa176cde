package com.vantal.zentrix.util.beans;

import java.io.File;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Vector;

/**
 * Checks the native library from inside a virtual machine.
 * Usage: HostBridgeTest wrong-password USER WRONG-PASSWORD
 *        HostBridgeTest all CHILD USER PASSWORD GROUP,GROUP,...
 * The second form expects the current directory to hold a copy of the
 * recording child named "zxchild" and the user "ghost" to be known to PAM
 * but not to the user database.
 */
public class HostBridgeTest {
    private static int failures = 0;
    private static final HostBridge bridge = new HostBridge();

    private static void check(boolean condition, String what) {
        if (!condition) {
            failures++;
            System.err.println("FAILED: " + what);
        }
    }

    private static void checkArray(String[] actual, String[] expected, String what) {
        check(Arrays.equals(actual, expected),
              what + ": expected " + Arrays.toString(expected) + ", got " + Arrays.toString(actual));
    }

    private static String record(String[] arguments) {
        StringBuilder text = new StringBuilder();
        for (String argument : arguments) {
            int length = argument.getBytes(StandardCharsets.UTF_8).length;
            text.append(length).append(':').append(argument).append("\r\n");
        }
        return text.toString();
    }

    private static String readFile(File file) throws Exception {
        return new String(Files.readAllBytes(file.toPath()), StandardCharsets.UTF_8);
    }

    private static void checkSystemInfo() {
        String[] info = bridge.getSystemInfo();
        check(info != null && info.length == 6, "getSystemInfo has six elements");
        if (info == null || info.length != 6) return;
        check(info[0].equals("#Harware Infomation"), "element 0: " + info[0]);
        check(info[1].matches("#Processor: (Non-Intel \\d+ \\d+ \\d+|Intel Pentium.* \\d model [0-9a-f]+ stepping [0-9a-f]+|Unknown Intel \\d+ [0-9a-f]+)"),
              "processor line: " + info[1]);
        check(info[2].matches("#Number of Processors: [1-9]\\d*"), "processor count: " + info[2]);
        check(info[3].matches("#OS Type: \\S+ "), "OS type: " + info[3]);
        check(info[4].matches("#OS Version: \\d+\\.\\d+ \\S+ \\(Build \\d+\\)"), "OS version: " + info[4]);
        check(info[5].matches("#Total Physical Memory: [1-9]\\d* K"), "memory: " + info[5]);
    }

    private static void checkRoots() {
        Vector<String> roots = bridge.listRoots();
        check(roots != null && roots.contains("/"), "listRoots holds /: " + roots);
        if (roots == null) return;
        for (String pseudo : new String[] {"/proc", "/sys", "/dev", "/dev/pts", "/dev/shm", "/sys/fs/cgroup"}) {
            check(!roots.contains(pseudo), "listRoots leaves out " + pseudo + ": " + roots);
        }
    }

    private static void checkExec(String child) throws Exception {
        File record = new File("record.txt").getAbsoluteFile();
        String[] arguments = {child, record.getPath(), "7", "a b", "", "q\"x", "tr\\", "gr\u00fcn \u20ac"};
        check(bridge.execBCP(arguments) == 7, "execBCP returns the exit code");
        check(readFile(record).equals(record(arguments)), "child got every argument whole: " + readFile(record));

        String[] thirteen = new String[13];
        Arrays.fill(thirteen, "x");
        thirteen[0] = child;
        thirteen[1] = record.getPath();
        thirteen[2] = "13";
        check(bridge.execBCP(thirteen) == 13, "execBCP runs 13 arguments");

        File unused = new File("fourteen.txt").getAbsoluteFile();
        String[] fourteen = new String[14];
        Arrays.fill(fourteen, "x");
        fourteen[0] = child;
        fourteen[1] = unused.getPath();
        fourteen[2] = "14";
        check(bridge.execBCP(fourteen) == -1, "execBCP refuses 14 arguments");
        check(!unused.exists(), "execBCP ran nothing for 14 arguments");

        check(bridge.execBCP(new String[0]) == -1, "execBCP refuses an empty array");
        check(bridge.execBCP(null) == -1, "execBCP refuses a null array");
        check(bridge.execBCP(new String[] {child, null, "1"}) == -1, "execBCP refuses a null element");
        check(bridge.execBCP(new String[] {"/nonexistent/program", "a"}) == -1, "execBCP: missing program");
        check(bridge.execBCP(new String[] {"zxchild", "bare.txt", "5"}) == 5,
              "execBCP finds a bare name in the current directory");
        check(bridge.execBCP(new String[] {"true"}) == -1, "execBCP does not search PATH");
    }

    private static void checkGroups(String user, String password, String[] groups) {
        String[] expected = Arrays.copyOf(groups, groups.length + 1);
        expected[groups.length] = "END_GROUPS";
        checkArray(bridge.GetGroupList(0, user, password, "DOMAIN"), expected, "groups of " + user);
        String[] failed = {"AUTHENTICATION_FAILED"};
        checkArray(bridge.GetGroupList(0, user, password + "x", "DOMAIN"), failed, "wrong password");
        checkArray(bridge.GetGroupList(0, "nobody-here", password, "DOMAIN"), failed, "unknown user");
        checkArray(bridge.GetGroupList(0, user, null, "DOMAIN"), failed, "null password");
        checkArray(bridge.GetGroupList(0, "ghost", "boo", "DOMAIN"), new String[] {"FAILED_TO_GET_GROUPS"},
                   "user unknown to the user database");
    }

    /** Several threads at once: the library keeps no state, so answers stay the same. */
    private static void checkConcurrency(String user, String password, String[] groups) throws Exception {
        String[] expectedGroups = Arrays.copyOf(groups, groups.length + 1);
        expectedGroups[groups.length] = "END_GROUPS";
        String[] info = bridge.getSystemInfo();
        Vector<String> roots = bridge.listRoots();
        List<Thread> threads = new ArrayList<>();
        final int[] wrong = {0};
        for (int t = 0; t < 4; t++) {
            Thread thread = new Thread(() -> {
                for (int i = 0; i < 25; i++) {
                    boolean same = Arrays.equals(bridge.getSystemInfo(), info)
                        && bridge.listRoots().equals(roots)
                        && Arrays.equals(bridge.GetGroupList(0, user, password, ""), expectedGroups);
                    if (!same) {
                        synchronized (wrong) { wrong[0]++; }
                    }
                }
            });
            threads.add(thread);
            thread.start();
        }
        for (Thread thread : threads) thread.join();
        check(wrong[0] == 0, "concurrent calls agree (" + wrong[0] + " differed)");
    }

    public static void main(String[] args) throws Exception {
        if (args.length == 3 && args[0].equals("wrong-password")) {
            checkArray(bridge.GetGroupList(0, args[1], args[2], "DOMAIN"),
                       new String[] {"AUTHENTICATION_FAILED"}, "wrong password");
        } else if (args.length == 5 && args[0].equals("all")) {
            String[] groups = args[4].split(",");
            checkSystemInfo();
            checkRoots();
            checkExec(args[1]);
            checkGroups(args[2], args[3], groups);
            checkConcurrency(args[2], args[3], groups);
        } else {
            System.err.println("usage: HostBridgeTest wrong-password USER PASSWORD | all CHILD USER PASSWORD GROUPS");
            System.exit(2);
        }
        System.out.flush();
        if (failures > 0) {
            System.err.println(failures + " check(s) failed");
            System.exit(1);
        }
    }
}

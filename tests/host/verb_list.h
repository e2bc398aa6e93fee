// The test host's own verbs, one entry a verb, in the order its --help lists
// them after morvel-host's:
//
//   MORVEL_VERB(name, command, reader, input, usage)
//
// as in tools/morvel-host/verb_list.h: the verb, its function (declared in
// commands_win.h from this list, defined in its family's file), the reader
// of its fields (verbs.h), Fields or Line (VerbInput) and its lines in
// --help's list of commands. verbs.h takes the syntax, commands_win.h and
// session_win.cpp the commands, so a new verb is one entry here and its
// function.
//
// No include guard: read once for each use.
MORVEL_VERB(
    "closewindow", CloseWindowCommand, ReadNothing, Fields,
    "  closewindow           WM_CLOSE to the main window\n"
    "                                             closewindow 1 (no main window shows now) or 0\n")
MORVEL_VERB("multclose", MultCloseCommand, ReadNothing, Fields,
            "  multclose             WM_CLOSE to the multipliers window\n"
            "                                             multclose 1 (none is left) or 0\n")
MORVEL_VERB("sleep", SleepCommand, ReadMilliseconds, Fields,
            "  sleep MS              handle messages      sleep\n")
MORVEL_VERB("quit", QuitCommand, ReadNothing, Fields,
            "  quit                  end the script       quit\n")
MORVEL_VERB("bandnow", BandNowCommand, ReadNothing, Fields,
            "  bandnow               the pressed band     bandnow N (0: none, or no window)\n")
MORVEL_VERB("post", PostCommand, ReadQueuedLine, Line,
            "  post LINE             queue LINE           post; LINE runs when the thread next\n"
            "                                             handles messages (never between two\n"
            "                                             commands), its output lines marked\n"
            "                                             posted\n")
MORVEL_VERB("hold", HoldCommand, ReadHeldFile, Fields,
            "  hold FILE [write]     open FILE, unshared; hold ok, or hold error MESSAGE\n"
            "                        with write, open it for writing with others allowed to\n"
            "                        read and write it\n")
MORVEL_VERB("unhold", UnholdCommand, ReadNothing, Fields,
            "  unhold                close held files     unhold\n")
MORVEL_VERB(
    "screenshot", ScreenshotCommand, ReadPath, Fields,
    "  screenshot FILE       the windows as BMP   screenshot ok, or screenshot error WHAT\n")
MORVEL_VERB("stress", StressCommand, ReadSeedAndTime, Fields,
            "  stress SEED MS        host events fired from posted messages and a timer for MS\n"
            "                        milliseconds, most of them inside recalculations; then\n"
            "                        _Run if needed, and the statistics compared with a\n"
            "                        recalculation's\n"
            "                                             stress ok, or stress failed WHY (and\n"
            "                                             the two statistics when they differ);\n"
            "                                             the counts go to standard error\n")
MORVEL_VERB("addmany", AddManyCommand, ReadCountAndSeed, Fields,
            "  addmany N SEED        _AddQSO for N generated contacts\n"
            "                                             addmany N COUNTED (results of 1)\n")
MORVEL_VERB("resources", ResourcesCommand, ReadResourcesMode, Fields,
            "  resources             GDI objects, USER objects and private bytes of this process\n"
            "                                             resources GDI USER BYTES\n"
            "  resources mark        the same, kept       resources marked\n"
            "  resources check BYTES compared with the mark: no more GDI or USER objects, and\n"
            "                        private bytes grown by less than BYTES\n"
            "                                             resources ok, or resources grew\n"
            "                                             GDI USER BYTES (the changes)\n")
MORVEL_VERB("unload", UnloadCommand, ReadThread, Fields,
            "  unload [thread]       FreeLibrary (on a thread of its own, waited for)\n"
            "                                             unload; no message is handled before\n"
            "                                             the next command\n")
MORVEL_VERB("load", LoadCommand, ReadCaptionPrefix, Fields,
            "  load [PREFIX]         LoadLibrary again    load; the records from now on carry\n"
            "                                             PREFIX as caption prefix, when given\n")
MORVEL_VERB("loaded", LoadedCommand, ReadNothing, Fields,
            "  loaded                the plug-in's code   loaded 1 (mapped in the process) or 0\n")
MORVEL_VERB("windows", WindowsCommand, ReadNothing, Fields,
            "  windows               visible top-level windows of this thread\n"
            "                                             windows N\n")
MORVEL_VERB("state", StateCommand, ReadNothing, Fields,
            "  state                 the main window      state none, hidden, minimised,\n"
            "                                             maximised or normal\n")
MORVEL_VERB("reconnect", ReconnectCommand, ReadNothing, Fields,
            "  reconnect             a new connection to the database, then the old one closed;\n"
            "                        the records from now on carry the new one\n"
            "                                             reconnect\n")
MORVEL_VERB("move", MoveCommand, ReadPosition, Fields,
            "  move X Y              the main window moved there as a drag ends\n"
            "                                             move\n")
MORVEL_VERB("exit", ExitCommand, ReadNothing, Fields,
            "  exit                  end the process at once, without _Release\n"
            "                                             exit\n")
MORVEL_VERB("hover", HoverCommand, ReadNothing, Fields,
            "  hover                 the mouse moved over every visible window and control\n"
            "                                             hover\n")
MORVEL_VERB("repaint", RepaintCommand, ReadNothing, Fields,
            "  repaint               every visible window uncovered and painted again\n"
            "                                             repaint\n")
MORVEL_VERB(
    "classes", ClassesCommand, ReadNothing, Fields,
    "  classes               the plug-in's window classes registered under its instance\n"
    "                                             classes NAMES (comma-separated) or none\n")
MORVEL_VERB("library", LibraryCommand, ReadLibrary, Fields,
            "  library DLL [thread]  LoadLibrary of another DLL, kept loaded (on a thread of its\n"
            "                        own, waited for); its test exports called when it has them\n"
            "                                             library DLL [throw caught|missed]\n"
            "                                             [sent answered|unanswered|nowhere]\n")
MORVEL_VERB("race", RaceCommand, ReadMilliseconds, Fields,
            "  race MS               FreeLibrary on another thread after MS milliseconds, while\n"
            "                        this one sends WM_NULL to the main window until it is done\n"
            "                                             race MS\n")
MORVEL_VERB("sysmenu", SystemMenuCommand, ReadSystemMenu, Fields,
            "  sysmenu WINDOW ITEM   an item of the plug-in's in a window's system menu (WINDOW\n"
            "                        main, mult or check; ITEM check, ontop or recalc)\n"
            "                                             sysmenu WINDOW ITEM MARK (the item's\n"
            "                                             check mark now: 1, 0 or -), then\n"
            "                                             topmost 1 or 0 for ontop\n")
MORVEL_VERB(
    "check", CheckCommand, ReadNothing, Fields,
    "  check                 the multiplier check window\n"
    "                                             check none, or check headline TEXT,\n"
    "                                             check station LINE (two), check grid N\n"
    "                                             and N lines of the grid (TAB-separated)\n")
MORVEL_VERB(
    "checkview", CheckViewCommand, ReadCheckView, Fields,
    "  checkview [dismiss]   the multiplier check's alert, history, warning, rate, DXCC\n"
    "                        list, the typed station's row and where the three windows are\n"
    "                        (after a click on the warning's Dismiss button with dismiss)\n"
    "                                             checkview alert TEXT, ... checkview\n"
    "                                             typed none|in view|out of view,\n"
    "                                             checkview covers main|mult yes|no\n")
MORVEL_VERB("locked", LockedCommand, ReadNothing, Fields,
            "  locked                another thread takes the loader's lock and sends every open\n"
            "                        window of the plug-in activation, focus, settings, menu and\n"
            "                        command messages; each send's time goes to standard error\n"
            "                                             locked N answered, or locked\n"
            "                                             unanswered KIND@WINDOW,...\n")
MORVEL_VERB("postmsg", PostMessageCommand, ReadPostedMessage, Fields,
            "  postmsg WINDOW MSG WPARAM LPARAM\n"
            "                        the message posted to a window of the plug-in's (main, mult\n"
            "                        or check), then messages handled\n"
            "                                             postmsg\n")
MORVEL_VERB("lockloader", LockLoaderCommand, ReadNothing, Fields,
            "  lockloader            a thread of its own takes the loader's lock and keeps it\n"
            "                                             lockloader\n")
MORVEL_VERB("unlockloader", UnlockLoaderCommand, ReadNothing, Fields,
            "  unlockloader          that thread sends the main window WM_NULL, lets the lock\n"
            "                        go and ends; this one handles messages meanwhile\n"
            "                                             unlockloader answered or unanswered\n")

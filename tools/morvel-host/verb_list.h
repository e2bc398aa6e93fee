// morvel-host's verbs, one entry a verb, in the order its --help lists them:
//
//   MORVEL_VERB(name, command, reader, input, usage)
//
// name: the verb as the script writes it; command: its function (declared
// in commands_win.h from this list, defined in its family's file); reader:
// the reader of its fields (script.h); input: Fields or Line (VerbInput);
// usage: its lines in --help's list of commands. Each includer defines
// MORVEL_VERB to take what it needs (script.h the syntax, commands_win.* the
// commands), so a new verb is one entry here and its function.
//
// No include guard: read once for each use.
MORVEL_VERB("info", InfoCommand, ReadNothing, Fields,
            "  info                  _GetInfo             info NAME WORD1 TAG WORD2\n")
MORVEL_VERB("run", RunCommand, ReadContact, Fields,
            "  run [CONTACT]         _Run                 run 1 (a window came back) or run 0\n")
MORVEL_VERB("score", ScoreCommand, ReadContact, Fields,
            "  score CONTACT         _GetScore            score RESULT\n")
MORVEL_VERB("add", AddCommand, ReadContact, Fields,
            "  add CONTACT           _AddQSO              add RESULT\n")
MORVEL_VERB(
    "grab", GrabCommand, ReadContact, Fields,
    "  grab CONTACT          _GrabNumber          grab CODE (bytes as \\xHH where needed)\n")
MORVEL_VERB("log", LogCommand, ReadContact, Fields,
            "  log CONTACT           INSERT, then _AddQSO log RESULT (log error MESSAGE)\n")
MORVEL_VERB("stats", StatsCommand, ReadNothing, Fields,
            "  stats                 the statistics text  stats N, then its N lines\n")
MORVEL_VERB("recalc", RecalcCommand, ReadNoWait, Fields,
            "  recalc [nowait]       \"Recalc Statistic\"   recalc; with nowait no message is\n"
            "                                             handled before the next command\n")
MORVEL_VERB("release", ReleaseCommand, ReadNothing, Fields,
            "  release               _Release             release\n")
MORVEL_VERB("sql", SqlCommand, ReadStatement, Fields,
            "  sql STATEMENT         on the connection    sql ok, or sql error MESSAGE\n")
MORVEL_VERB("caption", CaptionCommand, ReadNothing, Fields,
            "  caption               the window caption   caption TEXT\n")
MORVEL_VERB("close", CloseCommand, ReadNothing, Fields,
            "  close                 the close box        close 1 (now minimised) or close 0\n")
MORVEL_VERB(
    "mult", MultCommand, ReadNothing, Fields,
    "  mult                  \"Multipliers\"        mult 1 (its window is there) or mult 0\n")
MORVEL_VERB("band", BandCommand, ReadBand, Fields,
            "  band N                band button N (1-9)  band N\n")
MORVEL_VERB("oblasts", OblastsCommand, ReadNothing, Fields,
            "  oblasts               the multipliers list oblasts N, then N lines CODE DRAWN\n"
            "                                             (1: drawn highlighted, else 0)\n")

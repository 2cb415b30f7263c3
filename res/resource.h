/* Resource ids and the string table's texts. Read by the resource compiler and by
   the C++ code (the POSIX build has no resources and takes the texts from here). */
#ifndef SRDW_RESOURCE_H
#define SRDW_RESOURCE_H

#define IDS_GAME_NOT_FOUND 1
#define IDS_CHOOSER_FILTER 2
#define IDS_SCRIPT_NOT_LOADED 3
#define IDS_GAME_RUNNING 4
#define IDS_REINSTALL_QUESTION 5
#define IDS_NO_GUARD 6
#define IDS_OWN_PATH_UNUSABLE 7
#define IDS_GAME_NOT_STARTED 8
#define IDS_LOG_IS_LINK 9
#define IDS_NEEDS_ADMIN 10
#define IDS_LAUNCHER_WAITING 11
#define IDS_PATH_CHARACTERS 12
#define IDS_RESTORE_UNFINISHED 13
#define IDS_FOLDER_NOT_WRITABLE 14
#define IDS_FOREIGN_JOURNAL 15
#define IDS_SCRIPT_FAULT 16
#define IDS_SCRIPT_ELSEWHERE 17
#define IDS_COMMANDS_FAILED 18
#define IDS_RECOVERED_BY_HAND 19
#define IDS_RESTORE_LEFT 20
#define IDS_RECORDS_LEFT 21
#define IDS_APP_TITLE 57344

#define TEXT_GAME_NOT_FOUND \
    "ERROR: Cannot find Skyrend 2!\nPlease specify the Path to SREND.EXE in the following Dialog."
#define TEXT_CHOOSER_FILTER "Skyrend 2|Srend.exe|Program Files|*.exe|All Files|*.*||||"
#define TEXT_SCRIPT_NOT_LOADED "ERROR: Failed to load script!"
#define TEXT_GAME_RUNNING "Skyrend 2 is already running."
#define TEXT_REINSTALL_QUESTION                                                            \
    "Warning: It seems that the MOD is still installed, but it could not be restored. Do " \
    "you want to re-install it?"
#define TEXT_NO_GUARD "ERROR: Cannot make sure that only one launcher runs!\nNothing was changed."
#define TEXT_OWN_PATH_UNUSABLE                                                              \
    "ERROR: Cannot use the launcher's own path!\nIt is too long, or a folder name holds a " \
    "backslash. Please move the game to a folder with a shorter, plain path."
#define TEXT_GAME_NOT_STARTED "ERROR: Failed to start Skyrend 2!"
#define TEXT_LOG_IS_LINK                                                                           \
    "Warning: The log file is a link to another file. It is not written; the run goes on without " \
    "a log."
#define TEXT_NEEDS_ADMIN                                                                       \
    "ERROR: The game folder needs administrator rights!\nNothing was changed. Please allow "   \
    "the launcher to run as administrator when Windows asks, or move the game to a folder of " \
    "your own."
#define TEXT_LAUNCHER_WAITING                                                                  \
    "The launcher is already running.\nLook for its window, or let it finish: when Skyrend 2 " \
    "ends, it puts the game's files back."
/* "%1" stands for the path, with "?" for the characters that cannot be used. */
#define TEXT_PATH_CHARACTERS                                                                  \
    "ERROR: The name of the game's folder (or of a folder above it) holds characters that "   \
    "cannot be used on this computer!\n%1\nThey are shown as ?. Nothing was changed. Please " \
    "give the folder a name in plain letters of your system's language."
/* %1: how many files are out of place; %2: the log's path. */
#define TEXT_RESTORE_UNFINISHED                                                             \
    "Warning: The MOD could not be removed completely.\nFiles still out of place: %1\nThe " \
    "log says which: %2\nThe next start of the launcher tries again.\n\nDo you want to "    \
    "start the game without the MOD this time?"
/* %1: the launcher's folder, where the marker and the journal go. */
#define TEXT_FOLDER_NOT_WRITABLE                                                             \
    "Warning: The MOD could not be put in place, because the launcher's folder cannot be "   \
    "written:\n%1\nThe log says why. Nothing was changed.\n\nDo you want to start the game " \
    "without the MOD?"
/* %1: the game folder the journal was written for. */
#define TEXT_FOREIGN_JOURNAL                                                                  \
    "Warning: The record of an interrupted MOD installation beside the launcher was written " \
    "for another game folder:\n%1\nIt is not used here, and nothing was changed. If this "    \
    "folder is a copy of that one, put its game files back by hand, then delete restore.mod " \
    "and restore.jnl beside the launcher.\n\nDo you want to start the game without the MOD "  \
    "this time?"
/* Follows TEXT_SCRIPT_NOT_LOADED. %1: "PATH:LINE:COLUMN: what is wrong"; %2: the script's
   path in quotes (the resource compiler and C++ write a quote in a text differently). */
#define TEXT_SCRIPT_FAULT                                                                      \
    "The MOD's install script has a mistake here:\n%1\n\nSrdwCheck.exe, which comes with the " \
    "launcher, shows every mistake in it: in a Command Prompt, run\nSrdwCheck %2"
/* Follows TEXT_SCRIPT_NOT_LOADED. %1: where a script lies; %2: where it must go. */
#define TEXT_SCRIPT_ELSEWHERE                                                                  \
    "There is no install script beside the launcher, but there is one in a folder below "      \
    "it:\n%1\nThe launcher reads it only here:\n%2\nIf it is the MOD's script, move it there " \
    "with the MOD's files, as the MOD's own instructions say."
/* %1: how many commands did not go in; %2: how many the script has; %3: the log's path. */
#define TEXT_COMMANDS_FAILED                                                                   \
    "Warning: The MOD could not be installed completely.\nCommands that did not go in: %1 of " \
    "%2\nThe log says which: %3\n\nDo you want to play anyway?\nYes: start the game with "     \
    "the MOD as far as it went in.\nNo: put every file back and end."
#define TEXT_RECOVERED_BY_HAND                                                              \
    "The game's files were put back.\nThe launcher's last run ended with the MOD still in " \
    "place (the computer crashed, the launcher was ended, or a file was in the way), so "   \
    "this start only put every file back, and the game did not start.\n\nStart the "        \
    "launcher again to play."
/* %1: how many files (or "not known"), %2: the log file. */
#define TEXT_RESTORE_LEFT                                                                   \
    "Warning: The MOD could not be removed completely after the game.\nFiles still out of " \
    "place: %1\nThe log says which: %2\nThe next start of the launcher tries again."
#define TEXT_RECORDS_LEFT                                                                 \
    "The game's files were all back already: the launcher's last run ended before it "    \
    "could remove its records, and this start removed them.\n\nStart the launcher again " \
    "to play."
#define TEXT_APP_TITLE "Skyrend 2: Duskwarden"

#define IDD_SPLASH 102
#define IDI_LAUNCHER 128
#define IDB_SPLASH 130

#endif

/* Resource ids and the string table's texts. Read by the resource compiler and by
   the C++ code (the POSIX build has no resources and takes the texts from here). */
#ifndef SRDW_RESOURCE_H
#define SRDW_RESOURCE_H

#define IDS_GAME_NOT_FOUND 1
#define IDS_CHOOSER_FILTER 2
#define IDS_SCRIPT_NOT_LOADED 3
#define IDS_GAME_RUNNING 4
#define IDS_REINSTALL_QUESTION 5
#define IDS_APP_TITLE 57344

#define TEXT_GAME_NOT_FOUND \
    "ERROR: Cannot find Skyrend 2!\nPlease specify the Path to SREND.EXE in the following Dialog."
#define TEXT_CHOOSER_FILTER "Skyrend 2|Srend.exe|Program Files|*.exe|All Files|*.*||||"
#define TEXT_SCRIPT_NOT_LOADED "ERROR: Failed to load script!"
#define TEXT_GAME_RUNNING "Skyrend 2 is already running."
#define TEXT_REINSTALL_QUESTION                                                            \
    "Warning: It seems that the MOD is still installed, but it could not be restored. Do " \
    "you want to re-install it?"
#define TEXT_APP_TITLE "Skyrend 2: Duskwarden"

#define IDD_SPLASH 102
#define IDI_LAUNCHER 128
#define IDB_SPLASH 130

#endif

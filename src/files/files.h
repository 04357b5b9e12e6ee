// Recording files, the File menu and the recent-files list.
#pragma once

void Gestion_fichier(int menuBar, int menuItem, void *callbackData, int panel);

// File menu item identifiers.
constexpr int MENU_FILE = 2;
constexpr int MENU_OPEN = 3;
constexpr int MENU_SAVE = 4;
constexpr int MENU_CLOSE = 5;
constexpr int MENU_PRINT = 7;
constexpr int MENU_EXIT = 9;

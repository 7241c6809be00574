#pragma once

#include "platform/WindowMessage.h"

#include <cstdint>

// The vocabulary in which the program's parts talk to each other: the names of the registered
// messages, the codes they carry, the command identifiers of the window's controls and the
// document's hints. Each is declared here and only here; everything else uses these names, so
// that a misspelt name is a compile error rather than a new, silent message.

// Registered message names. The name is the contract: equal names give equal numbers.
// Posted to the main frame by the tree, the player view and the volume slider; the first
// parameter is one of the CODE_* below, the second an argument.
inline constexpr char MESSAGE_FOR_MAIN_FRAME[] = "Marquint_MESSAGE_FOR_MAIN_FRAME";
// Posted to the main frame by the search bar; the first parameter is a code, the second 0 or,
// for CODE_OPEN_ADDRESS and CODE_SEARCH_TREE, the text (see PostWindowMessage with a payload).
inline constexpr char MESSAGE_FROM_DLG[] = "ZQ m_WM_MESSAGE_FROM_DLG";
// Sent by an owner-drawn button to its notify object at a press; the first parameter is the
// button.
inline constexpr char MESSAGE_BUTTON_TWO_STATE_CLICKED[] = "ZQ WM_BUTTON_TWO_STATE_CLICKED";
// Sent by the search edit box to its notify object when Enter was pressed.
inline constexpr char MESSAGE_EDIT_BOX_VK_RETURN[] = "ZQ m_WM_EDIT_BOX_VK_RETURN";
// Sent by a download's thread to the object that started it: a file download's outcome, and a
// buffer download's received buffer.
inline constexpr char MESSAGE_FILE_DOWNLOAD_COMPLETE[] = "Marquint_MESSAGE_FILE_DOWNLOAD_COMPLETE";
inline constexpr char MESSAGE_BUFFER_DOWNLOAD_COMPLETE[] =
    "Marquint_MESSAGE_BUFFER_DOWNLOAD_COMPLETE";

// The number of a message name above, registered at its first use.
template <const char* pszName> uint32_t RegisteredMessage()
{
    static const uint32_t s_uMessage = RegisterWindowMessage(pszName);
    return s_uMessage;
}
inline constexpr auto MessageForMainFrame = RegisteredMessage<MESSAGE_FOR_MAIN_FRAME>;
inline constexpr auto MessageFromDlg = RegisteredMessage<MESSAGE_FROM_DLG>;
inline constexpr auto ButtonTwoStateClickedMessage =
    RegisteredMessage<MESSAGE_BUTTON_TWO_STATE_CLICKED>;
inline constexpr auto EditBoxReturnMessage = RegisteredMessage<MESSAGE_EDIT_BOX_VK_RETURN>;

// Codes of MESSAGE_FOR_MAIN_FRAME.
// The player view has handed a station to the player (second parameter 0).
inline constexpr uintptr_t CODE_STATION_STARTED = 1039;
// The tree has loaded the directory at its initial update (0).
inline constexpr uintptr_t CODE_TREE_LOADED = 1040;
// A tree search found nothing and the user asked for a web search instead (0).
inline constexpr uintptr_t CODE_SEARCH_WEB = 1041;
// The tree's selection changed (0).
inline constexpr uintptr_t CODE_SELECTION_CHANGED = 1042;
// The volume slider moved (the new level, 0 to 100).
inline constexpr uintptr_t CODE_VOLUME_LEVEL = 1068;

// Codes of MESSAGE_FROM_DLG. The caption's codes are the command identifiers ID_CLOSE,
// ID_MINIMIZE and ID_MAXIMIZE themselves.
// Open the address carried as text in the user's browser.
inline constexpr uintptr_t CODE_OPEN_ADDRESS = 1034;
// Search the station tree for the text carried.
inline constexpr uintptr_t CODE_SEARCH_TREE = 1035;

// Command identifiers of the window's controls.
inline constexpr uint32_t ID_PLAY = 1026;
inline constexpr uint32_t ID_STOP = 1027;
inline constexpr uint32_t ID_NEXT = 1030;
inline constexpr uint32_t ID_PREVIOUS = 1031;
inline constexpr uint32_t ID_CLOSE = 1036;
inline constexpr uint32_t ID_MINIMIZE = 1037;
inline constexpr uint32_t ID_MAXIMIZE = 1038;
inline constexpr uint32_t ID_FULL_SCREEN = 1065;
inline constexpr uint32_t ID_MUTE = 1066;
// The volume slider has an identifier but gives no command: it reports CODE_VOLUME_LEVEL.
inline constexpr uint32_t ID_VOLUME = 1067;

// Document hints between the two views.
// The tree asks the player view to play its current station (no hint object).
inline constexpr intptr_t HINT_PLAY = 2;
// The player view hands a key pressed there to the tree (a CKeyHint that the receiver frees).
inline constexpr intptr_t HINT_KEY = 10;

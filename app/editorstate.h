#pragma once

#include "app/editorcheck.h"
#include "app/editordisplay.h"
#include "app/editorhistory.h"

// What the main window keeps for its script editor.
struct EditorState
{
    EditHistory history;
    ScriptDisplay display;
    EditorCheck *check = nullptr; // a child of the editor
};

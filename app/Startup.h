#pragma once

// Registers the AX window class that DIALOG_MAIN's control 888 needs.
void registerAXClass();

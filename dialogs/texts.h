#pragma once

// The fixed texts of the options dialog's "Help" and "About" tabs, untranslated.
// The form translates each as one whole text in the context "OptionsDialogBase".
const char *helpText();
const char *aboutText();

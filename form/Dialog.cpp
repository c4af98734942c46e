#include "form/frmMain.h"

void frmMain::txtMain_TextChanged()
{
    // Runs on every change, also when the copy puts a whole file in the field:
    // its length is enough, a copy of its text would cost as much as the file.
    platform_.EnableOk(platform_.FieldLength() > 0);
}

void frmMain::cmdMain_Press(int16_t nButton)
{
    if (nButton == 0)
        CopyToClip(platform_.FieldText());
    platform_.CloseForm();  // Form_Close ends the program
}

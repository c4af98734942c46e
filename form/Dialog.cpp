#include "form/frmMain.h"

void frmMain::txtMain_TextChanged()
{
    platform_.EnableOk(!platform_.FieldText().empty());
}

void frmMain::cmdMain_Press(int16_t nButton)
{
    if (nButton == 0)
        CopyToClip(platform_.FieldText());
    platform_.CloseForm();  // Form_Close ends the program
}

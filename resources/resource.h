#pragma once
// Resource ids, shared by the resource script and the program.
#define IDI_QUILLBOX 1
// The installer's right-click entry names this string as its label (tools/pack/Quillbox.wxs).
#define IDS_COPY_TEXT 101

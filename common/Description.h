#pragma once

// The program's own descriptions of failures (the third line of the error
// report), in Japanese and in English. The platform knows the user's language
// and chooses; the system's descriptions come from the system, already in it.
struct Description {
    enum Id { TooLarge, NoMemory, TooLong, Shrank, Device, DeviceOrPipe, FieldFull, ClipboardHeld, CopyNotMade,
              ClipboardEmptied, Binary, Untold, Empty, SystemError, Count };

    // In the order of Id: Japanese, English.
    static constexpr const char16_t* Texts[Count][2] = {
        // TooLarge
        {u"ファイルのサイズが 2 GB 以上です。Quillbox でコピーできるのは 2 GB 未満のファイルです。",
         u"The file is 2 GB or larger. Quillbox copies files smaller than 2 GB."},
        // NoMemory
        {u"ファイルのテキストを保持するためのメモリが不足しています。",
         u"There is not enough memory to hold the file's text."},
        // TooLong
        {u"ファイルのテキストが長すぎるため、メモリに保持できません。",
         u"The file's text is too long to be held in memory."},
        // Shrank
        {u"読み込んでいる間にファイルが短くなりました。何もコピーされていません。",
         u"The file became shorter while it was being read. Nothing was copied."},
        // Device
        {u"この名前はファイルではなく、デバイスを指しています。", u"The name is a device, not a file."},
        // DeviceOrPipe
        {u"この名前はファイルではなく、デバイスまたはパイプを指しています。",
         u"The name is a device or a pipe, not a file."},
        // FieldFull
        {u"メモリが不足しているため、ファイルのテキストをテキスト ボックスに格納できませんでした。",
         u"The text field could not take the file's text: not enough memory."},
        // ClipboardHeld
        {u"ほかのプログラムがクリップボードを使用しているため、コピーできませんでした。もう一度お試しください。",
         u"Another program is holding the clipboard, so nothing was copied. Please try again."},
        // CopyNotMade
        {u"テキストをクリップボードにコピーできませんでした。もう一度お試しください。",
         u"The text could not be put on the clipboard. Please try again."},
        // ClipboardEmptied: the one failure after which the clipboard is not as it was.
        {u"クリップボードの内容は消去されましたが、テキストをクリップボードにコピーできませんでした。もう一度お試しください。",
         u"The clipboard was emptied, but the text could not be put on it. Please try again."},
        // Binary: the text holds a NUL character, where the field would cut it short.
        {u"このファイルにはバイナリ データ (NUL 文字) が含まれているため、コピーしませんでした。",
         u"This file holds binary data (a NUL character), so it was not copied."},
        // Untold: NUL bytes as UTF-16 without a mark has them, but no byte order shown.
        {u"このファイルのテキストの文字コードを判別できなかったため、コピーしませんでした。バイト順マーク (BOM) "
         u"のない UTF-16 のようです (少なくとも一部は)。BOM 付きで保存し直してから、もう一度お試しください。",
         u"Quillbox could not tell how this file's text is written, so it was not copied: it looks like UTF-16 "
         u"without a byte-order mark, at least in part. Save it with a byte-order mark (BOM) and try again."},
        // Empty
        {u"ファイルが空のため、何もコピーしませんでした。", u"The file is empty, so nothing was copied."},
        // SystemError: for a system error the system has no words for; # is its number.
        {u"Windows のエラー # が発生しました。", u"Windows error #."},
    };

    static const char16_t* Of(Id nWhat, bool bJapanese) { return Texts[nWhat][bJapanese ? 0 : 1]; }
};

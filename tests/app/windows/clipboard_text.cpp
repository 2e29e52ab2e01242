// Prints the text on the Windows clipboard as UTF-8, for the end-to-end test to read what
// the program copied (Ctrl+C in a message box or the text pane); with --clear, empties the
// clipboard instead. Exits 1 when the clipboard can't be opened or holds no text.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char* argv[]) {
    if (!::OpenClipboard(nullptr)) return 1;
    if (argc > 1 && std::strcmp(argv[1], "--clear") == 0) {
        const bool emptied = ::EmptyClipboard();
        ::CloseClipboard();
        return emptied ? 0 : 1;
    }
    // Bytes as they are: a text-mode stdout would turn each LF into CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    int status = 1;
    if (HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* text = static_cast<const wchar_t*>(::GlobalLock(data))) {
            const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
            std::string utf8(static_cast<std::size_t>(size > 0 ? size : 1), '\0');
            ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
            std::fputs(utf8.c_str(), stdout);
            ::GlobalUnlock(data);
            status = 0;
        }
    }
    ::CloseClipboard();
    return status;
}

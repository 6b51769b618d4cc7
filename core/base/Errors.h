// The program's exception classes and every message text it can show.
#pragma once

#include <initializer_list>
#include <stdexcept>
#include <string>

namespace vem {

// Base of every failure the program reports. Message is UTF-8 and reaches the
// user unchanged (apart from the "." rule of ErrorBoxText).
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }
    // The class name as the program knows it ("EReadError"...), for logs and the CLI.
    virtual const char* ClassName() const noexcept { return "Exception"; }
    std::string Message;
};

// A class name cannot stand in parentheses.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define VEM_EXCEPTION(Name)                                                    \
    class Name : public Exception {                                            \
    public:                                                                    \
        using Exception::Exception;                                            \
        const char* ClassName() const noexcept override { return #Name; }      \
    };
// NOLINTEND(bugprone-macro-parentheses)

VEM_EXCEPTION(EConvertError)
VEM_EXCEPTION(EInvalidGraphic)
VEM_EXCEPTION(EInvalidGraphicOperation)
VEM_EXCEPTION(EInvalidOperation)
VEM_EXCEPTION(EFOpenError)
VEM_EXCEPTION(EFCreateError)
VEM_EXCEPTION(EReadError)
VEM_EXCEPTION(EWriteError)
VEM_EXCEPTION(EOutOfResources)

// Memory that could not be had, or a size beyond what the program allows at
// all (TooLarge): freeing memory cannot help with the latter.
class EOutOfMemory : public Exception {
public:
    explicit EOutOfMemory(std::string message, bool tooLarge = false)
        : Exception(std::move(message)), TooLarge(tooLarge) {}
    const char* ClassName() const noexcept override { return "EOutOfMemory"; }
    bool TooLarge = false;
};
VEM_EXCEPTION(EOSError)
#undef VEM_EXCEPTION

// Message patterns, all in one place. %s and %d are filled in order by FormatMessage.
namespace msg {
inline constexpr const char* NotAnInteger = "'%s' は整数ではありません";
inline constexpr const char* UnknownExtension = "拡張子 .%s の画像形式は処理できません";
inline constexpr const char* FOpenError = "ファイル \"%s\". %s は開けません";
inline constexpr const char* FCreateError = "ファイル \"%s\". %s を作成できません";
inline constexpr const char* InvalidBitmap = "ビットマップイメージが不正です";
inline constexpr const char* OSError = "システムエラー。コード：%d.\n%s";
inline constexpr const char* ReadError = "ストリームからの読み込みエラー";
inline constexpr const char* WriteError = "ストリームへの書き込みエラー";
inline constexpr const char* InvalidIcon = "アイコンイメージが不正です";
inline constexpr const char* InvalidMetafile = "メタファイルが不正です";
inline constexpr const char* ScanLineOutOfRange = "スキャンライン のインデックスが範囲を越えました";
inline constexpr const char* OutOfMemory = "メモリが足りません";
inline constexpr const char* OutOfResources = "システム リソースが足りません";
inline constexpr const char* InvalidPixelFormat = "画像フォーマットが不正です";
inline constexpr const char* ChangeNeedsBitmap = "ビットマップを持っている時のみイメージの変更が可能です";
inline constexpr const char* NoCanvas = "Canvas に対する描画ができません";
// Assigning one graphic kind to another: source class, then target class.
inline constexpr const char* CannotAssign = "%s を %s に代入できません";
inline constexpr const char* IconSizeFixed = "アイコンのサイズは変更できません";
} // namespace msg

// Replaces each %s or %d of Pattern by the next argument, in order; "%%" is "%".
std::string FormatMessage(const char* pattern, std::initializer_list<std::string> args);

// The text the error box shows: "." appended when the message is not empty and
// its last whole UTF-8 character sorts above "." (0x2E) as a byte string.
std::string ErrorBoxText(const std::string& message);

// The error box caption: the program file's name without its folder, cut before
// its first ".", every character after the first in lower case ("TOOL.EXE" -> "Tool").
std::string ApplicationTitle(const std::string& programPath);

// The system's text for an errno value, with trailing spaces, control
// characters and periods removed.
std::string SystemErrorText(int errnum);

// Raise the open / create failure for FileName (made absolute) and errno value.
[[noreturn]] void RaiseFOpenError(const std::string& fileName, int errnum);
[[noreturn]] void RaiseFCreateError(const std::string& fileName, int errnum);

// Shorthands for the fixed-text failures.
[[noreturn]] void RaiseScanLineError();
[[noreturn]] void RaiseOutOfMemory();
// The same failure for a size over the program's limits, before any allocation.
[[noreturn]] void RaiseTooLarge();

} // namespace vem

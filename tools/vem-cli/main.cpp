// vem-cli: the picture engine from the command line, for scripts, batch work
// and tests. The desktop program reads no command line; this tool does.
#include <CLI/CLI.hpp>

#include <iostream>

#include "Commands.h"
#include "Values.h"
#include "core/IntText.h"

namespace {

constexpr int kUsageError = 2;

const CLI::Validator kColor(
    [](std::string& text) {
        vem::TColor c;
        return vemcli::ParseColor(text, c) ? std::string() : "expected #RRGGBB or R,G,B (0-255): " + text;
    },
    "");

const CLI::Validator kPoint(
    [](std::string& text) {
        std::int32_t x, y;
        return vemcli::ParsePoint(text, x, y) ? std::string() : "expected X,Y (two integers): " + text;
    },
    "");

const CLI::Validator kInteger(
    [](std::string& text) {
        std::int32_t v;
        return vem::TryStrToInt(text, v) ? std::string() : "not an integer: " + text;
    },
    "");

vem::TColor color(const std::string& text) {
    vem::TColor c = 0;
    vemcli::ParseColor(text, c);
    return c;
}

vemcli::ErasePoint point(const std::string& text) {
    vemcli::ErasePoint p;
    vemcli::ParsePoint(text, p.X, p.Y);
    return p;
}

// Text options, converted after parsing: CLI11 has checked their form already.
struct Texts {
    std::string target, back, point, approx, limit;
    std::vector<std::string> at;
    std::string from = "original";
};

template <class T> std::optional<T> given(const CLI::Option* option, const T& value) {
    return option->count() > 0 ? std::optional<T>(value) : std::nullopt;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app("vem-cli: reads, measures, copies and converts pictures as the VEM program does.", "vem-cli");
    app.require_subcommand(1);
    app.footer("COLOR is #RRGGBB (hexadecimal) or R,G,B (decimal 0-255).\n"
               "Integers (--approx, --limit, --point) follow the settings dialog: decimal, or $, x, 0x hexadecimal.\n"
               "Exit status: 0 success, 1 a picture could not be read, converted or written\n"
               "(the error box text goes to stderr), 2 a usage error.");

    std::vector<std::string> infoFiles;
    auto* info = app.add_subcommand("info", "Print each file's size and pixel depth (or kind): FILE: W×H DEPTH");
    info->add_option("FILE", infoFiles, "Picture files (.bmp, .ico, .emf, .wmf)")->type_name("FILE")->required();

    std::string copyIn, copyOut;
    auto* copy = app.add_subcommand("copy", "Read IN and write it to OUT through the program's reader and writer");
    copy->add_option("IN", copyIn, "Picture file to read")->type_name("FILE")->required();
    copy->add_option("OUT", copyOut, "File to write (always BMP data for a bitmap)")->type_name("FILE")->required();

    vemcli::ConvertOptions conv;
    Texts ct;
    auto* convert = app.add_subcommand(
        "convert", "Run conversion mode N as the conversion command does after OK, and save the finished picture");
    convert
        ->add_option("--mode", conv.Mode,
                     "0 keep matching, 1 erase matching, 2 keep the target colour, "
                     "3 erase the target colour, 4 region from the point (mask into the editing picture)")
        ->required()
        ->check(CLI::Range(0, 4));
    convert->add_option("--original", conv.Original, "Original picture (also loaded as the finished picture)")
        ->type_name("FILE")
        ->required();
    convert->add_option("--editing", conv.Editing, "Editing picture")->type_name("FILE");
    auto* cTarget =
        convert->add_option("--target", ct.target, "Target colour (default black)")->check(kColor)->type_name("COLOR");
    auto* cBack =
        convert->add_option("--back", ct.back, "Background colour (default black)")->check(kColor)->type_name("COLOR");
    auto* cPoint = convert->add_option("--point", ct.point, "Start point X,Y of mode 4 (default 0,0)")
                       ->check(kPoint)
                       ->type_name("X,Y");
    auto* cApprox = convert->add_option("--approx", ct.approx, "Approximation level (default 0)")
                        ->check(kInteger)
                        ->type_name("INT");
    auto* cLimit =
        convert->add_option("--limit", ct.limit, "Limit level (default 0)")->check(kInteger)->type_name("INT");
    convert->add_option("--out", conv.Out, "File for the finished picture")->type_name("FILE")->required();
    convert->add_option("--mask-out", conv.MaskOut, "File for the editing picture (the mask after mode 4)")
        ->type_name("FILE");

    vemcli::EraseOptions erase;
    Texts et;
    auto* eraseCmd =
        app.add_subcommand("erase", "Right-click erase gesture at each --at in turn, and save the finished picture");
    eraseCmd->add_option("--original", erase.Original, "Original picture (also loaded as the finished picture)")
        ->type_name("FILE")
        ->required();
    eraseCmd->add_option("--editing", erase.Editing, "Editing picture")->type_name("FILE");
    eraseCmd->add_option("--at", et.at, "Clicked pixel X,Y; repeat for several clicks, run in order")
        ->required()
        ->check(kPoint)
        ->type_name("X,Y");
    eraseCmd->add_option("--from", et.from, "Picture clicked, whose pixel gives the target colour (default original)")
        ->check(CLI::IsMember({"original", "editing", "finished"}))
        ->type_name("WINDOW");
    auto* eApprox = eraseCmd->add_option("--approx", et.approx, "Approximation level (default 0)")
                        ->check(kInteger)
                        ->type_name("INT");
    auto* eLimit =
        eraseCmd->add_option("--limit", et.limit, "Limit level (default 0)")->check(kInteger)->type_name("INT");
    auto* eBack =
        eraseCmd->add_option("--back", et.back, "Background colour (default black)")->check(kColor)->type_name("COLOR");
    eraseCmd->add_flag("--apply", erase.Apply, "Carry each result into the original and editing pictures");
    eraseCmd->add_option("--out", erase.Out, "File for the finished picture")->type_name("FILE")->required();
    eraseCmd->add_option("--mask-out", erase.MaskOut, "File for the editing picture")->type_name("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : kUsageError;
    }

    try {
        if (*info)
            return vemcli::RunInfo(infoFiles);
        if (*copy)
            return vemcli::RunCopy(copyIn, copyOut);
        if (*convert) {
            conv.Target = given(cTarget, color(ct.target));
            conv.Back = given(cBack, color(ct.back));
            if (cPoint->count() > 0) {
                const auto p = point(ct.point);
                conv.PointX = p.X;
                conv.PointY = p.Y;
            }
            if (cApprox->count() > 0)
                conv.Approx = vem::StrToInt(ct.approx);
            if (cLimit->count() > 0)
                conv.Limit = vem::StrToInt(ct.limit);
            return vemcli::RunConvert(conv);
        }
        for (const auto& text : et.at)
            erase.At.push_back(point(text));
        erase.From = et.from == "editing" ? 2 : et.from == "finished" ? 3 : 1;
        if (eApprox->count() > 0)
            erase.Approx = vem::StrToInt(et.approx);
        if (eLimit->count() > 0)
            erase.Limit = vem::StrToInt(et.limit);
        erase.Back = given(eBack, color(et.back));
        return vemcli::RunErase(erase);
    } catch (const std::exception& e) {
        // Nothing should get here: the commands report the program's own
        // failures. Anything else is still a failure, never a success.
        std::cerr << e.what() << '\n';
        return 1;
    }
}

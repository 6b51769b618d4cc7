// vem-cli: the picture engine from the command line, for scripts, batch work
// and tests. The desktop program reads no command line; this tool does.
#include <CLI/CLI.hpp>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "Commands.h"
#include "core/base/IntText.h"
#include "Values.h"

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
// The option handles tell a value left out (the workspace keeps its start
// value) from one given.
struct Texts {
    std::string target, back, point, approx, limit;
    std::vector<std::string> at;
    std::string from = "original";
    CLI::Option* targetOption = nullptr;
    CLI::Option* backOption = nullptr;
    CLI::Option* pointOption = nullptr;
    CLI::Option* approxOption = nullptr;
    CLI::Option* limitOption = nullptr;
    std::string out, pngOut;
    CLI::Option* outOption = nullptr;
    CLI::Option* pngOutOption = nullptr;
};

template <class T> std::optional<T> given(const CLI::Option* option, const T& value) {
    return option->count() > 0 ? std::optional<T>(value) : std::nullopt;
}

// The integer is read only when given: an empty text is no integer.
std::optional<std::int32_t> givenInteger(const CLI::Option* option, const std::string& text) {
    return option->count() > 0 ? std::optional<std::int32_t>(vem::StrToInt(text)) : std::nullopt;
}

// The whole command line: its subcommands and the values they fill in.
struct CommandLine {
    CLI::App app{"vem-cli: reads, measures, copies and converts pictures as the VEM program does.", "vem-cli"};
    CLI::App* info = nullptr;
    CLI::App* copy = nullptr;
    CLI::App* convert = nullptr;
    std::vector<std::string> infoFiles;
    std::string copyIn, copyOut;
    vemcli::ConvertOptions conv;
    Texts ct;
    vemcli::EraseOptions erase;
    Texts et;
};

// Options that convert and erase share, word for word.
void addPictures(CLI::App* command, std::string& original, std::string& editing) {
    command->add_option("--original", original, "Original picture (also loaded as the finished picture)")
        ->type_name("FILE")
        ->required();
    command->add_option("--editing", editing, "Editing picture")->type_name("FILE");
}

void addBack(CLI::App* command, Texts& texts) {
    texts.backOption = command->add_option("--back", texts.back, "Background colour (default black)")
                           ->check(kColor)
                           ->type_name("COLOR");
}

// The two levels, one after the other in both.
void addLevels(CLI::App* command, Texts& texts) {
    texts.approxOption = command->add_option("--approx", texts.approx, "Approximation level (default 0)")
                            ->check(kInteger)
                            ->type_name("INT");
    texts.limitOption =
        command->add_option("--limit", texts.limit, "Limit level (default 0)")->check(kInteger)->type_name("INT");
}

// The finished picture's files: BMP, transparent PNG, or both; at least one.
void addOutputs(CLI::App* command, Texts& texts) {
    auto* bmp = command->add_option("--out", texts.out, "File for the finished picture (BMP)")->type_name("FILE");
    auto* png = command
                    ->add_option("--png-out", texts.pngOut,
                                 "File for the finished picture as an 8-bit RGBA PNG, the background colour "
                                 "(--back) transparent")
                    ->type_name("FILE");
    texts.outOption = bmp;
    texts.pngOutOption = png;
    command->final_callback([bmp, png] {
        if (bmp->count() == 0 && png->count() == 0) throw CLI::RequiredError("At least one of --out and --png-out");
    });
}

void addInfoAndCopy(CommandLine& cl) {
    cl.info = cl.app.add_subcommand("info", "Print each file's size and pixel depth (or kind): FILE: W×H DEPTH");
    cl.info->add_option("FILE", cl.infoFiles, "Picture files (.bmp, .ico, .emf, .wmf)")->type_name("FILE")->required();

    cl.copy = cl.app.add_subcommand("copy", "Read IN and write it to OUT through the program's reader and writer");
    cl.copy->add_option("IN", cl.copyIn, "Picture file to read")->type_name("FILE")->required();
    cl.copy->add_option("OUT", cl.copyOut, "File to write (always BMP data for a bitmap)")
        ->type_name("FILE")
        ->required();
}

void addConvert(CommandLine& cl) {
    vemcli::ConvertOptions& conv = cl.conv;
    Texts& ct = cl.ct;
    auto* convert = cl.app.add_subcommand(
        "convert", "Run conversion mode N as the conversion command does after OK, and save the finished picture");
    cl.convert = convert;
    convert
        ->add_option("--mode", conv.Mode,
                     "0 keep matching, 1 erase matching, 2 keep the target colour, "
                     "3 erase the target colour, 4 region from the point (mask into the editing picture)")
        ->required()
        ->check(CLI::Range(0, 4));
    addPictures(convert, conv.Original, conv.Editing);
    ct.targetOption =
        convert->add_option("--target", ct.target, "Target colour (default black)")->check(kColor)->type_name("COLOR");
    addBack(convert, ct);
    ct.pointOption = convert->add_option("--point", ct.point, "Start point X,Y of mode 4 (default 0,0)")
                        ->check(kPoint)
                        ->type_name("X,Y");
    addLevels(convert, ct);
    addOutputs(convert, ct);
    convert->add_option("--mask-out", conv.MaskOut, "File for the editing picture (the mask after mode 4)")
        ->type_name("FILE");
}

void addErase(CommandLine& cl) {
    vemcli::EraseOptions& erase = cl.erase;
    Texts& et = cl.et;
    auto* eraseCmd =
        cl.app.add_subcommand("erase", "Right-click erase gesture at each --at in turn, and save the finished picture");
    addPictures(eraseCmd, erase.Original, erase.Editing);
    eraseCmd->add_option("--at", et.at, "Clicked pixel X,Y; repeat for several clicks, run in order")
        ->required()
        ->check(kPoint)
        ->type_name("X,Y");
    eraseCmd->add_option("--from", et.from, "Picture clicked, whose pixel gives the target colour (default original)")
        ->check(CLI::IsMember({"original", "editing", "finished"}))
        ->type_name("WINDOW");
    addLevels(eraseCmd, et);
    addBack(eraseCmd, et);
    eraseCmd->add_flag("--apply", erase.Apply, "Carry each result into the original and editing pictures");
    addOutputs(eraseCmd, et);
    eraseCmd->add_option("--mask-out", erase.MaskOut, "File for the editing picture")->type_name("FILE");
}

void describe(CommandLine& cl) {
    cl.app.require_subcommand(1);
    cl.app.footer(
        "COLOR is #RRGGBB (hexadecimal) or R,G,B (decimal 0-255).\n"
        "Integers (--approx, --limit, --point) follow the settings dialog: decimal, or $, x, 0x hexadecimal.\n"
        "convert and erase write the finished picture to --out (BMP), --png-out (PNG) or both:\n"
        "at least one of them is required.\n"
        "Exit status: 0 success, 1 a picture could not be read, converted or written\n"
        "(the error box text goes to stderr), 2 a usage error.");
    addInfoAndCopy(cl);
    addConvert(cl);
    addErase(cl);
}

// The exit status of a command line CLI11 turned down (or of --help), or
// nothing when the command can run.
std::optional<int> parse(CommandLine& cl, int argc, char** argv) {
    try {
        cl.app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = cl.app.exit(e);
        return status == 0 ? 0 : kUsageError;
    }
    return std::nullopt;
}

int runConvert(vemcli::ConvertOptions& conv, const Texts& ct) {
    conv.Target = given(ct.targetOption, color(ct.target));
    conv.Back = given(ct.backOption, color(ct.back));
    if (ct.pointOption->count() > 0) {
        const auto p = point(ct.point);
        conv.PointX = p.X;
        conv.PointY = p.Y;
    }
    conv.Approx = givenInteger(ct.approxOption, ct.approx);
    conv.Limit = givenInteger(ct.limitOption, ct.limit);
    conv.Out = given(ct.outOption, ct.out);
    conv.PngOut = given(ct.pngOutOption, ct.pngOut);
    return vemcli::RunConvert(conv);
}

int runErase(vemcli::EraseOptions& erase, const Texts& et) {
    for (const auto& text : et.at)
        erase.At.push_back(point(text));
    erase.From = et.from == "editing" ? 2 : et.from == "finished" ? 3 : 1;
    erase.Approx = givenInteger(et.approxOption, et.approx);
    erase.Limit = givenInteger(et.limitOption, et.limit);
    erase.Back = given(et.backOption, color(et.back));
    erase.Out = given(et.outOption, et.out);
    erase.PngOut = given(et.pngOutOption, et.pngOut);
    return vemcli::RunErase(erase);
}

// Exactly one subcommand was given: CLI11 has made sure of it.
int run(CommandLine& cl) {
    if (*cl.info)
        return vemcli::RunInfo(cl.infoFiles);
    if (*cl.copy)
        return vemcli::RunCopy(cl.copyIn, cl.copyOut);
    if (*cl.convert)
        return runConvert(cl.conv, cl.ct);
    return runErase(cl.erase, cl.et);
}

} // namespace

int main(int argc, char** argv) {
    CommandLine cl;
    describe(cl);
    if (const auto status = parse(cl, argc, argv))
        return *status;
    try {
        return run(cl);
    } catch (const std::exception& e) {
        // Nothing should get here: the commands report the program's own
        // failures. Anything else is still a failure, never a success.
        std::cerr << e.what() << '\n';
        return 1;
    }
}

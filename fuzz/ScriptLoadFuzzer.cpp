// Reads arbitrary bytes as an install script, the way ModScript::Load does:
// CleanScriptText into a buffer of the file's size, then ParseCalls on the clean
// text. Every promise the two stages make is checked on the result, so a fault
// shows as a crash even where the sanitizers see nothing wrong.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "script/ScriptText.h"

namespace {

using srdw::ScriptCommand;
using srdw::fuzz::Require;

// The cleaning as the script format describes it, written as a plain state
// machine rather than the product's search for the next quote or line end.
std::optional<std::string> ReferenceClean(std::string_view source) {
    std::string clean;
    bool quoted = false;
    bool comment = false;
    for (std::size_t i = 0; i < source.size(); ++i) {
        const auto byte = static_cast<unsigned char>(source[i]);
        if (quoted) {
            clean.push_back(source[i]);
            quoted = byte != '"';
        } else if (comment) {
            comment = byte != '\r' && byte != '\n';
        } else if (byte == '"') {
            clean.push_back(source[i]);
            quoted = true;
        } else if (byte == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            comment = true;
            ++i;
        } else if (byte > 0x20 && byte < 0x80) {
            clean.push_back(source[i]);
        }
    }
    if (quoted) {
        return std::nullopt;
    }
    return clean;
}

// Whether `part` lies within `whole`, compared as addresses since the two need
// not come from one array; an empty part still has to point into it.
template <typename T>
bool Inside(std::span<const T> part, std::span<const T> whole) {
    const auto begin = reinterpret_cast<std::uintptr_t>(whole.data());
    const auto end = reinterpret_cast<std::uintptr_t>(whole.data() + whole.size());
    const auto partBegin = reinterpret_cast<std::uintptr_t>(part.data());
    const auto partEnd = reinterpret_cast<std::uintptr_t>(part.data() + part.size());
    return partBegin >= begin && partBegin <= partEnd && partEnd <= end;
}

bool Inside(std::string_view part, std::string_view whole) {
    return Inside(std::span(part), std::span(whole));
}

void CheckCleanText(std::string_view source, std::string_view clean) {
    Require(clean.size() <= source.size(), "the clean text is no longer than the script");
    bool quoted = false;
    for (const char c : clean) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte == '"') {
            quoted = !quoted;
        } else if (!quoted) {
            Require(byte > 0x20 && byte < 0x80,
                    "outside quotes the clean text holds no byte <= 0x20 or >= 0x80");
        }
    }
    Require(!quoted, "every quoted run in the clean text is closed");

    const auto reference = ReferenceClean(source);
    Require(reference.has_value(), "a script whose quotes are all closed is cleaned");
    Require(*reference == clean, "the clean text keeps exactly the significant characters");
}

// The commands must lie in the clean text one after the other, each its name, "(",
// its arguments separated by ",", ")" and any ";"s, up to `reach`, where
// ParseCalls reported that it stopped.
void CheckCalls(std::string_view text, const std::vector<ScriptCommand>& commands,
                const std::vector<std::string_view>& arguments, std::size_t reach) {
    std::size_t at = 0;
    for (const ScriptCommand& command : commands) {
        Require(Inside(command.name, text), "a command's name is a view into the clean text");
        Require(command.args.size() <= srdw::kMaxArguments, "a call keeps at most 16 arguments");
        // A span into a copy of `arguments` that has since moved would still
        // compare equal as text; only the address shows it.
        Require(Inside(command.args, std::span(arguments)),
                "a call's arguments lie in `arguments`");

        Require(command.name.data() == text.data() + at,
                "a command's name starts where the previous call ended");
        Require(command.name.find('(') == std::string_view::npos,
                "a command's name holds no \"(\"");
        at += command.name.size();
        Require(at < text.size() && text[at] == '(', "a command's name is followed by \"(\"");
        ++at;
        for (std::size_t a = 0; a < command.args.size(); ++a) {
            const std::string_view argument = command.args[a];
            Require(Inside(argument, text), "an argument is a view into the clean text");
            Require(argument.data() == text.data() + at,
                    "an argument starts after the \"(\" or the \",\" before it");
            Require(argument.find_first_of(std::string_view(",)\0", 3)) == std::string_view::npos,
                    "an argument holds no \",\", no \")\" and no NUL");
            at += argument.size();
            if (at < text.size() && text[at] == '\0') {
                at = text.find_first_of(",)", at);  // the rest after a NUL is left out
            }
            if (a + 1 < command.args.size()) {
                Require(at < text.size() && text[at] == ',', "arguments are separated by \",\"");
                ++at;
            }
        }
        if (command.args.size() == srdw::kMaxArguments) {
            at = text.find(')', at);  // the arguments past the 16th are left out
            Require(at != std::string_view::npos, "a call with 16 arguments is closed");
        }
        Require(at < text.size() && text[at] == ')', "a call's arguments end at its \")\"");
        ++at;
        while (at < text.size() && text[at] == ';') {
            ++at;
        }
    }
    Require(at == reach, "the parse reaches where its last call ends");
    if (reach < text.size()) {
        const std::string_view rest = text.substr(at);
        const auto open = rest.find('(');
        Require(
            open == std::string_view::npos || rest.find(')', open + 1) == std::string_view::npos,
            "a parse stops only at a call without \"(\" or \")\"");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view source(reinterpret_cast<const char*>(data), size);

    // Exactly the script's size, as ModScript::Load allocates it, but as a heap
    // block of its own: a write past the end then hits AddressSanitizer's redzone
    // instead of a string's spare capacity.
    const auto buffer = std::make_unique<char[]>(size);
    const std::optional<std::size_t> cleanLength = srdw::CleanScriptText(source, buffer.get());
    if (!cleanLength) {
        Require(!ReferenceClean(source).has_value(),
                "only a script with an unclosed quote is refused");
        return 0;
    }
    const std::string_view text(buffer.get(), *cleanLength);
    CheckCleanText(source, text);

    std::vector<ScriptCommand> commands;
    std::vector<std::string_view> arguments;
    const std::size_t reach = srdw::ParseCalls(text, commands, arguments);
    CheckCalls(text, commands, arguments, reach);

    // The commands come out of the text alone: a second parse gives the same views.
    std::vector<ScriptCommand> again;
    std::vector<std::string_view> againArguments;
    Require(srdw::ParseCalls(text, again, againArguments) == reach,
            "a second parse of the same text stops at the same place");
    Require(again.size() == commands.size(), "a second parse gives as many commands");
    for (std::size_t c = 0; c < commands.size(); ++c) {
        const auto same = [](std::string_view a, std::string_view b) {
            return a.data() == b.data() && a.size() == b.size();
        };
        Require(same(again[c].name, commands[c].name), "a second parse gives the same names");
        Require(again[c].args.size() == commands[c].args.size(),
                "a second parse gives as many arguments");
        for (std::size_t a = 0; a < commands[c].args.size(); ++a) {
            Require(same(again[c].args[a], commands[c].args[a]),
                    "a second parse gives the same arguments");
        }
    }
    return 0;
}

// The paths a script's commands work on, as the launcher expands and resolves
// them: too long, outside the game directory, written twice, or chained.
#include <map>

#include "check/CheckSteps.h"
#include "script/PathExpansion.h"

namespace srdw::check {

namespace {

struct PathUse {
    std::size_t line = 0;
    std::string_view command;
};

class PathWalk {
  public:
    PathWalk(const ParsedScript& script, const LaunchContext& launch, const DryRunFacts* dryRun,
             CheckReport& report)
        : script_(script),
          launch_(launch),
          dryRun_(dryRun),
          report_(report),
          rootDir_(launch.RootDir()),
          current_(launch.game) {}

    std::vector<bool> Run() {
        for (std::size_t i = 0; i < script_.calls.size(); ++i) {
            outside_.push_back(false);
            Visit(i + 1, script_.calls[i]);
        }
        return std::move(outside_);
    }

  private:
    void Visit(std::size_t number, const ParsedCall& call) {
        CheckedCommand command;
        command.number = number;
        command.where = script_.WhereClean(call.nameAt);
        command.name = std::string(call.command.name);
        command.known = call.info != nullptr;
        const std::string below = RelativePath(current_, launch_.game);
        const bool inGame = IsWithin(current_, launch_.game);
        command.directory = !inGame         ? below
                            : below.empty() ? "."
                                            : "." + std::string(1, kSeparator) + below;
        const std::size_t used =
            call.info ? std::min(call.info->ArgumentCount(), call.command.args.size())
                      : call.command.args.size();
        std::vector<std::optional<ResolvedPath>> paths;
        for (std::size_t i = 0; i < used; ++i) {
            command.arguments.push_back(Expand(call, i));
            paths.push_back(CheckPath(call, i, command.arguments.back()));
        }
        if (report_.commands.size() < kListedCommands) {
            report_.commands.push_back(std::move(command));
        }
        if (!call.info) {
            return;
        }
        paths.resize(call.info->ArgumentCount());
        // Where the dry run saw the launcher stay, it stays here too.
        stays_ = false;
        if (call.info->ChangesDirectory() && dryRun_ &&
            directoryChange_ < dryRun_->directoryChanged.size()) {
            stays_ = !dryRun_->directoryChanged[directoryChange_++];
        }
        // What a command takes away goes before what it puts, so that a chain is
        // seen before a second write to the same place.
        for (const PathRole role : {PathRole::Reads, PathRole::Writes, PathRole::Directory}) {
            for (std::size_t i = 0; i < paths.size(); ++i) {
                if (call.info->arguments[i].role == role && paths[i]) {
                    Use(call, i, *paths[i]);
                }
            }
        }
    }

    void Use(const ParsedCall& call, std::size_t index, const ResolvedPath& path) {
        switch (call.info->arguments[index].role) {
            case PathRole::Reads:
                return Reads(call, index, path);
            case PathRole::Writes:
                return Writes(call, index, path);
            case PathRole::Directory:
                if (!stays_) {
                    current_ = path;
                }
                return;
        }
    }

    static std::string Role(const ParsedCall& call, std::size_t index) {
        return std::string(call.info->arguments[index].name);
    }

    CheckedArgument Expand(const ParsedCall& call, std::size_t index) {
        const std::string_view text = call.command.args[index];
        CheckedArgument argument{std::string(text), script_.Where(text), {}, {}};
        argument.install = ExpandArgument(text, rootDir_, launch_.installCommandLine);
        argument.restore = argument.install;  // restore undoes what install recorded
        if (!call.info || text.empty()) {
            return argument;  // not used, or reported as empty already
        }
        const std::string role = Role(call, index);
        if (!argument.install) {
            AddFinding(report_, Severity::Error, argument.where, "too-long",
                       "the " + role +
                           " expands to more than 511 characters, so the launcher leaves it empty "
                           "and does nothing for this command");
        } else if (argument.install->empty()) {
            AddFinding(report_, Severity::Error, argument.where, "empty-argument",
                       "the " + role +
                           " expands to nothing, so the launcher does nothing for "
                           "this command");
        }
        if (ExpandArgument(text, "", "\x01") != ExpandArgument(text, "", "\x02")) {
            std::string message =
                "the " + role +
                " uses @cmdline, the player's command line, so where this command moves files "
                "depends on how the game is started";
            if (argument.install) {
                message += " (here: '" + *argument.install + "')";
            }
            AddFinding(report_, Severity::Warning, argument.where, "uses-cmdline", message);
        }
        return argument;
    }

    std::optional<ResolvedPath> CheckPath(const ParsedCall& call, std::size_t index,
                                          const CheckedArgument& argument) {
        if (!call.info || !argument.install || argument.install->empty()) {
            return std::nullopt;
        }
        const std::string& expanded = *argument.install;
        ResolvedPath path = Resolve(current_, expanded);
        // A drive names a place outside the game on any system, also where it is
        // no drive (on Linux the launcher takes "C:" for a directory's name).
        if (!IsWithin(path, launch_.game) || (!kWindowsPaths && NamesDrive(expanded))) {
            outside_.back() = true;
            const bool climbs = expanded.find("..") != std::string::npos;
            AddFinding(report_, Severity::Warning, argument.where, "outside-game",
                       climbs ? "the " + Role(call, index) + " '" + expanded +
                                    "' leads out of the game directory, to '" + path.Text() + "'"
                              : "the " + Role(call, index) + " '" + expanded +
                                    "' is outside the game directory, so the mod works only "
                                    "where that path exists");
        }
        return path;
    }

    void Reads(const ParsedCall& call, std::size_t index, const ResolvedPath& path) {
        const auto earlier = written_.find(PathKey(path));
        if (earlier != written_.end()) {
            AddFinding(report_, Severity::Warning, script_.Where(call.command.args[index]),
                       "rename-chain",
                       "the " + Role(call, index) + " is what " + Describe(earlier->second) +
                           " puts there: a rename chain. It installs in this order, but when "
                           "that command fails, this one moves another file or fails too");
        }
    }

    void Writes(const ParsedCall& call, std::size_t index, const ResolvedPath& path) {
        const std::string key = PathKey(path);
        const PathUse use{script_.WhereClean(call.nameAt).line, call.info->name};
        const auto [earlier, first] = written_.emplace(key, use);
        if (!first) {
            AddFinding(report_, Severity::Warning, script_.Where(call.command.args[index]),
                       "same-target",
                       "the " + Role(call, index) + " '" + path.Text() + "' is written by " +
                           Describe(earlier->second) +
                           " too; the second command finds the first one's file there or fails");
            earlier->second = use;
        }
    }

    static std::string Describe(const PathUse& use) {
        return std::string(use.command) + " on line " + std::to_string(use.line);
    }

    const ParsedScript& script_;
    const LaunchContext& launch_;
    const DryRunFacts* dryRun_;
    std::size_t directoryChange_ = 0;  // the next in dryRun_
    bool stays_ = false;               // the call's directory change is not made
    std::vector<bool> outside_;        // by call
    CheckReport& report_;
    const std::string rootDir_;
    ResolvedPath current_;
    std::map<std::string, PathUse> written_;
};

}  // namespace

std::vector<bool> CheckPaths(const ParsedScript& script, const LaunchContext& launch,
                             const DryRunFacts* dryRun, CheckReport& report) {
    return PathWalk(script, launch, dryRun, report).Run();
}

}  // namespace srdw::check

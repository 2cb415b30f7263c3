#include "FaultInjectingPlatform.h"

#include <cstdlib>

namespace srdw::test {

namespace {

// Writes to a file count one change each, as the marker and the log see them.
class FaultInjectingFile final : public OutputFile {
  public:
    FaultInjectingFile(std::unique_ptr<OutputFile> inner, FaultInjectingPlatform& faults)
        : inner_(std::move(inner)), faults_(faults) {}

    OsResult Write(std::string_view bytes) override {
        return faults_.Fails() ? faults_.Failure() : inner_->Write(bytes);
    }
    OsResult SyncToDisk() override {
        return faults_.Fails() ? faults_.Failure() : inner_->SyncToDisk();
    }

  private:
    std::unique_ptr<OutputFile> inner_;
    FaultInjectingPlatform& faults_;
};

}  // namespace

bool FaultInjectingPlatform::Fails() {
    ++changes_;
    const bool hit = changes_ == at_ || (mode_ == FaultMode::FailFromThenOn && changes_ > at_);
    if (!hit || mode_ == FaultMode::None) {
        return false;
    }
    if (mode_ == FaultMode::Kill) {
        std::_Exit(kKilledExitCode);  // no destructor, no buffer written: the power is gone
    }
    return true;
}

OsResult FaultInjectingPlatform::SetNormalAttributes(const std::string& path) {
    return Fails() ? Failure() : FileSystemProxy::inner_.SetNormalAttributes(path);
}

OsResult FaultInjectingPlatform::RestoreAttributes(const std::string& path,
                                                   const FileAttributes& attributes) {
    return Fails() ? Failure() : FileSystemProxy::inner_.RestoreAttributes(path, attributes);
}

OsResult FaultInjectingPlatform::MoveNoReplace(const std::string& from, const std::string& to) {
    return Fails() ? Failure() : FileSystemProxy::inner_.MoveNoReplace(from, to);
}

OsResult FaultInjectingPlatform::RemoveFile(const std::string& path) {
    return Fails() ? Failure() : FileSystemProxy::inner_.RemoveFile(path);
}

std::unique_ptr<OutputFile> FaultInjectingPlatform::CreateOutputFile(const std::string& path) {
    if (Fails()) {
        return nullptr;
    }
    auto file = FileSystemProxy::inner_.CreateOutputFile(path);
    return file ? std::make_unique<FaultInjectingFile>(std::move(file), *this) : nullptr;
}

// Opening adds nothing; each write to the file counts, as for a new file.
std::unique_ptr<OutputFile> FaultInjectingPlatform::AppendToFile(const std::string& path) {
    auto file = FileSystemProxy::inner_.AppendToFile(path);
    return file ? std::make_unique<FaultInjectingFile>(std::move(file), *this) : nullptr;
}

OsResult FaultInjectingPlatform::WriteProfileString(const std::string& file,
                                                    const std::string& section,
                                                    const std::string& key,
                                                    const std::string& value) {
    return Fails() ? Failure() : DesktopProxy::inner_.WriteProfileString(file, section, key, value);
}

OsResult FaultInjectingPlatform::WriteStartupEntry(const std::string& name,
                                                   const std::string& command) {
    return Fails() ? Failure() : DesktopProxy::inner_.WriteStartupEntry(name, command);
}

OsResult FaultInjectingPlatform::DeleteStartupEntry(const std::string& name) {
    return Fails() ? Failure() : DesktopProxy::inner_.DeleteStartupEntry(name);
}

OsResult FaultInjectingPlatform::WriteUserStartupEntry(const std::string& name,
                                                       const std::string& command) {
    return Fails() ? Failure() : DesktopProxy::inner_.WriteUserStartupEntry(name, command);
}

OsResult FaultInjectingPlatform::DeleteUserStartupEntry(const std::string& name) {
    return Fails() ? Failure() : DesktopProxy::inner_.DeleteUserStartupEntry(name);
}

}  // namespace srdw::test

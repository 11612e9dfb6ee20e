// file_source.h - the byte sources over files of the file system, opened by name.
#pragma once

#include <memory>
#include <string>

#include "analyzer/input/byte_source.h"

namespace jov::analyzer {

// Opens files of the file system, read in large blocks.
class FileOpener : public SourceOpener {
 public:
  std::unique_ptr<ByteSource> Open(const std::string& path, std::string& error) override;
};

}  // namespace jov::analyzer

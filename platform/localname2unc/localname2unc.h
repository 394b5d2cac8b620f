// LocalName2UNCW: the UNC form of a local path that lies on a shared folder
// of this server.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// The shared folders of a server: pairs of local folder and share (UNC). The
// host owns one per conversion and binds it to the conversion's thread, so
// that two conversions on two threads see their own shared folders.
class LocalName2UNC_TShares {
 public:
  explicit LocalName2UNC_TShares(const std::vector<std::pair<std::string, std::string>>& shares = {});

  // The UNC form of `path` (UTF-8) when it lies on a shared folder: the path
  // is the folder itself or continues it after a '/' or '\'; the longest
  // such folder wins; the rest of the path follows the share with every '/'
  // turned into '\'. False when it lies on none. The thread's read observer
  // (qx_observation.h) hears the folder found, as it was given, or the path
  // as absent.
  bool Lookup(const std::string& path, std::string& unc) const;

  // Binds a table to the calling thread while it lives; the previous binding
  // is restored after.
  class Binding {
   public:
    explicit Binding(const LocalName2UNC_TShares& shares);
    ~Binding();
    Binding(const Binding&) = delete;
    Binding& operator=(const Binding&) = delete;

   private:
    const LocalName2UNC_TShares* previous_;
  };
  // The table bound to the calling thread, or null.
  static const LocalName2UNC_TShares* Current();

 private:
  struct Share {
    std::string folder;  // without trailing separators; "" for the root folder
    std::string unc;
    std::string given;  // the folder as it was given
  };
  std::vector<Share> shares_;
};

// Writes the UNC form of `localPath` into `buffer` (room for `bufferSize`
// wide characters, terminator included) and answers non-zero when the path
// lies on a shared folder of the table bound to the calling thread; answers
// zero (buffer untouched) when it does not, when no table is bound, or when
// the UNC form does not fit.
int LocalName2UNCW(const wchar_t* localPath, wchar_t* buffer, size_t bufferSize);

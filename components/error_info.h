// The error state every component carries.  Components never show or throw
// their errors: a failing operation records a catalogue message id and one
// argument here and returns false, and the caller decides what to do.
#ifndef KWUNINST_COMPONENTS_ERROR_INFO_H_
#define KWUNINST_COMPONENTS_ERROR_INFO_H_

#include <cstdint>
#include <string>

namespace kw {

class CErrorInfo {
 public:
  CErrorInfo() = default;

  // Sets the component's error-box title from the catalogue.  A derived
  // component calls it again with its own id, replacing the base's title.
  void LoadTitle(unsigned titleId);

  // Records an error, replacing whatever was recorded before.
  void SetError(std::int32_t code, const std::string& argument);

  // Hands out the recorded error and clears it.  A later success does not
  // clear an error, so this is the only way to forget one.
  void GetError(std::int32_t& code, std::string& argument);

  const std::string& GetTitle() const { return m_strTitle; }

 protected:
  std::int32_t m_nCode = 0;     // catalogue id of the last error; 0 = none
  std::string m_strArgument;    // fills the message's %s
  std::string m_strTitle;       // heads the component's error boxes
};

}  // namespace kw

#endif  // KWUNINST_COMPONENTS_ERROR_INFO_H_

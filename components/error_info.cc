#include "components/error_info.h"

#include "components/message_catalogue.h"

namespace kw {

void CErrorInfo::LoadTitle(unsigned titleId) { m_strTitle = LoadMessage(titleId); }

void CErrorInfo::SetError(std::int32_t code, const std::string& argument) {
  m_nCode = code;
  m_strArgument = argument;
}

void CErrorInfo::GetError(std::int32_t& code, std::string& argument) {
  code = m_nCode;
  argument = m_strArgument;
  m_nCode = 0;
  m_strArgument.clear();
}

}  // namespace kw

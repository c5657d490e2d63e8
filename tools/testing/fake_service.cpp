#include "tools/testing/fake_service.h"

#include <utility>

#include "service/base64.h"
#include "service/request.h"

namespace {

std::string Parameter(const std::string& target, const std::string& name) {
  const auto at = target.find("&" + name + "=");
  if (at == std::string::npos) return {};
  const auto start = at + name.size() + 2;
  return target.substr(start, target.find('&', start) - start);
}

}  // namespace

TFakeService::TFakeService(TScript script)
    : script_(std::move(script)),
      server_([this](const TLoopbackServer::TRequest& request) { return Answer(request); }) {}

TFakeService::TResponse TFakeService::Document(const std::string& license, const std::string& extraHeaders) {
  return TLoopbackServer::Reply(200, "<Brovik><license>" + license + "</license></Brovik>", extraHeaders);
}

TFakeService::TResponse TFakeService::Session(const std::string& id, int accessLevel) {
  return Document("<session id=\"" + id + "\" accessLevel=\"" + std::to_string(accessLevel) + "\"/>");
}

TFakeService::TResponse TFakeService::Error(int code, const std::string& message) {
  return Document("<error code=\"" + std::to_string(code) + "\">" + message + "</error>");
}

TFakeService::TResponse TFakeService::Answer(const TLoopbackServer::TRequest& request) const {
  if (request.Target.find("func=2&") != std::string::npos) {
    const std::string session = Parameter(request.Target, "session");
    for (const auto& closing : script_.Closings)
      if (closing.Session == session) return closing.Answer;
    return script_.OtherClosing ? *script_.OtherClosing : Document("<session id=\"" + session + "\"/>");
  }
  const std::string key = Parameter(request.Target, "key");
  for (const auto& signIn : script_.SignIns)
    if (key == UrlEncode(EncodeBase64(signIn.User + "|" + signIn.Password))) return signIn.Answer;
  return script_.OtherSignIn;
}

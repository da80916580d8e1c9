// Texts the server dialogs show when they refuse an entry.
#pragma once

#include <QString>

namespace loomstore::msg {

inline QString reservedName() { return QStringLiteral("(新服务器)是保留名称，需要修改以后才能保存"); }
inline QString serverExists() { return QStringLiteral("指定的服务器已经存在，请修改以后再保存"); }
inline QString badServerName() {
  return QStringLiteral("服务器名中不能有 / : = [ ] + # ? 这些字符，也不能以分号开头，请修改以后再保存");
}
inline QString badPort() { return QStringLiteral("通讯端口必须是1到65535之间的数字，请修改以后再保存"); }
// Failures of the record server as the directory window and the configuration documents
// report them.
inline QString connectFailed() { return QStringLiteral("与数据库连接不成功!"); }
inline QString loginFailed() { return QStringLiteral("用户登录服务器失败，请检查用户名和口令字是否正确"); }
inline QString defaultLoginFailed() { return QStringLiteral("缺省帐户不能登录到指定的服务器！"); }
inline QString openFailed() { return QStringLiteral("数据库连接失败!"); }
inline QString badDatabaseName() { return QStringLiteral("数据库名中不能有加号(+)，请修改以后再增加"); }

}  // namespace loomstore::msg

// Resource ids of the library's dialogs and their controls.
#pragma once

constexpr int IDD_ASKIP = 18000;
constexpr int IDD_ASKSQL = 18001;
constexpr int IDD_PAGE_Z39 = 18003;
constexpr int IDD_PAGE_OPAC = 18004;

// Dialog 18000.
constexpr int IDC_IP_ALIAS = 18008;
constexpr int IDC_IP_ADDRESS = 18001;

// Dialog 18001.
constexpr int IDC_SQL_SERVER = 18003;
constexpr int IDC_SQL_PASSWORD = 18004;
constexpr int IDC_SQL_ADMIN = 18005;
constexpr int IDC_SQL_MEMORY = 18006;
constexpr int IDC_SQL_CONNECT = 18007;

// Pages 18003 and 18004.
constexpr int IDC_Z39_HOST = 18003;
constexpr int IDC_Z39_PASSWORD = 18004;
constexpr int IDC_Z39_DATABASE = 18008;
constexpr int IDC_Z39_PORT = 18009;
constexpr int IDC_Z39_TEST = 18010;
constexpr int IDC_Z39_ACCOUNT = 18011;

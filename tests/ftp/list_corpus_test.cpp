// Listing lines as servers of each family print them, read as one mixed
// listing: every entry must come out with its name, size, kind and date,
// every unreadable line must be counted, and frame lines must vanish.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "ftp/id_ftp_list.h"

namespace hemlo::ftp {
namespace {

struct Line {
  const char* family;
  std::string text;  // "\n" joins the two lines of one VMS entry
  std::string name;
  int64_t size;
  char kind;         // f file, d folder, l link, x unreadable (counted), - frame (ignored)
  const char* date;  // "yyyy-mm-dd hh:mm:ss" as shown, "" for no date
  std::string target = {};
  std::string wire = {};  // what rename and delete send, when not the name
};

// Listed on 2024-03-10 by a user in Japan (MLSD and EPLF times are UTC).
const Line kCorpus[] = {
    {"unix", "total 24", "", 0, '-', ""},
    {"unix", "drwxr-xr-x    2 1000     1000         4096 Mar 01 09:15 www", "www", 4096, 'd',
     "2024-03-01 09:15:00"},
    {"unix", "-rw-r--r--    1 1000     1000        10240 Feb 29 23:59 data.bin", "data.bin", 10240,
     'f', "2024-02-29 23:59:00"},
    {"unix", "-rw-r--r--    1 0        0              0 Jan 01  2000 empty.txt", "empty.txt", 0,
     'f', "2000-01-01 00:00:00"},
    {"unix", "drwxr-xr-x   5 taro     users        4096 Nov 20  2023 backup", "backup", 4096, 'd',
     "2023-11-20 00:00:00"},
    {"unix", "-rw-r--r--   1 taro     users       18221 Nov 20 08:05 old.html", "old.html", 18221,
     'f', "2023-11-20 08:05:00"},
    {"unix", "-rw-rw-r--   1 hanako   staff      123456 Dec 31 23:59 year-end.csv", "year-end.csv",
     123456, 'f', "2023-12-31 23:59:00"},
    {"unix", "-rw-r--r--   1 taro     users         512 Mar 10 12:00 today.txt", "today.txt", 512,
     'f', "2024-03-10 12:00:00"},
    {"unix", "-rw-r--r--   1 taro     users          77 Mar 12 07:00 later.txt", "later.txt", 77,
     'f', "2024-03-12 07:00:00"},
    {"unix", "lrwxrwxrwx   1 root     root           11 Jan  5  2020 public_html -> www/public",
     "public_html", 11, 'l', "2020-01-05 00:00:00", "www/public"},
    {"unix", "lrwxrwxrwx   1 root     root            7 Feb  2 10:00 current -> release 2.1",
     "current", 7, 'l', "2024-02-02 10:00:00", "release 2.1"},
    {"unix", "lrwxrwxrwx   1 root     root            7 Feb  2 10:00 a->b -> c", "a->b", 7, 'l',
     "2024-02-02 10:00:00", "c"},
    {"unix", "-rw-r--r--   1 taro     users        1024 Jan 15  2003 name with  two spaces.txt",
     "name with  two spaces.txt", 1024, 'f', "2003-01-15 00:00:00"},
    {"unix", "-rw-r--r--   1 taro     users          42 Feb  3  2003  leading space.txt",
     " leading space.txt", 42, 'f', "2003-02-03 00:00:00"},
    {"unix", "-rw-r--r--   1 taro     users        2048 Jan  7 10:00 Jan 5 2003 report.txt",
     "Jan 5 2003 report.txt", 2048, 'f', "2024-01-07 10:00:00"},
    {"unix", "-rw-r--r--   1 taro     users        2048 Jan  7 10:00 arrow -> not a link.txt",
     "arrow -> not a link.txt", 2048, 'f', "2024-01-07 10:00:00"},
    {"unix", "-rw-r--r--   1 taro     users        2048 Jan  7 10:00 12:30", "12:30", 2048, 'f',
     "2024-01-07 10:00:00"},
    {"unix", "-rw-r--r--   1 taro     users  9876543210 Feb  1 01:02 disk.img", "disk.img",
     9876543210, 'f', "2024-02-01 01:02:00"},
    {"unix", "drwx------   3 taro     users        4096 Jul 14  1999 .ssh", ".ssh", 4096, 'd',
     "1999-07-14 00:00:00"},
    {"unix", "-rw-r--r--   1 taro     users         220 Apr  1  2022 .htaccess", ".htaccess", 220,
     'f', "2022-04-01 00:00:00"},
    {"unix", "-rw-r--r--   1 taro     users         300 Oct 10 24:00 midnight.log", "midnight.log",
     300, 'f', "2023-10-11 00:00:00"},
    {"unix", "-rw-r--r--   1 taro     users        1500 Mar  2 11:11 \x95\x5C\x8E\xA6.htm",
     "\x95\x5C\x8E\xA6.htm", 1500, 'f', "2024-03-02 11:11:00"},
    {"unix", "-rw-r--r--   1 taro     users        1500 Mar  2 11:11 日記.html", "日記.html", 1500,
     'f', "2024-03-02 11:11:00"},
    {"unix", "-rw-r--r--\t1 taro\tusers\t1500\tMar\t2\t11:11\ttabs.txt", "tabs.txt", 1500, 'f',
     "2024-03-02 11:11:00"},

    {"unix-modes", "drwxrwsr-x   4 www      web          4096 Feb 10 10:10 shared", "shared", 4096,
     'd', "2024-02-10 10:10:00"},
    {"unix-modes", "drwxrwxrwt  10 root     root         4096 Mar  9 06:25 tmp", "tmp", 4096, 'd',
     "2024-03-09 06:25:00"},
    {"unix-modes", "drwxrwxrwT   2 root     root         4096 Mar  9 06:25 tmp2", "tmp2", 4096, 'd',
     "2024-03-09 06:25:00"},
    {"unix-modes", "-rwsr-xr-x   1 root     root        54096 Jan 10  2019 passwd", "passwd", 54096,
     'f', "2019-01-10 00:00:00"},
    {"unix-modes", "-rwSr--r--   1 root     root          100 Jan 10  2019 odd-suid", "odd-suid",
     100, 'f', "2019-01-10 00:00:00"},
    {"unix-modes", "drwxr-sr-x   2 root     staff        4096 Jan 10  2019 local", "local", 4096,
     'd', "2019-01-10 00:00:00"},
    {"unix-modes", "-rw-r--r--+  1 taro     users         100 Feb  1 09:00 acl.txt", "acl.txt", 100,
     'f', "2024-02-01 09:00:00"},
    {"unix-modes", "-rw-r--r--@  1 taro     staff         100 Feb  1 09:00 mac-xattr.txt",
     "mac-xattr.txt", 100, 'f', "2024-02-01 09:00:00"},
    {"unix-modes", "-rw-r--r--.  1 taro     users         100 Feb  1 09:00 selinux.txt",
     "selinux.txt", 100, 'f', "2024-02-01 09:00:00"},
    {"unix-modes", "drwxr-xr-x+  3 taro     users        4096 Feb  1 09:00 acl-dir", "acl-dir",
     4096, 'd', "2024-02-01 09:00:00"},
    {"unix-modes", "prw-r--r--   1 taro     users           0 Feb  1 09:00 fifo", "fifo", 0, 'f',
     "2024-02-01 09:00:00"},
    {"unix-modes", "srwxrwxrwx   1 root     root            0 Mar  3 03:03 mysql.sock",
     "mysql.sock", 0, 'f', "2024-03-03 03:03:00"},
    {"unix-modes", "-rwxr-x---   1 taro     users        8192 Feb  1 09:00 run.cgi", "run.cgi",
     8192, 'f', "2024-02-01 09:00:00"},
    {"unix-modes", "d---------   2 root     root         4096 Feb  1 09:00 locked", "locked", 4096,
     'd', "2024-02-01 09:00:00"},

    {"unix-owners", "-rw-r--r--   1 owner      1234 Feb  3  2003 index.html", "index.html", 1234,
     'f', "2003-02-03 00:00:00"},
    {"unix-owners", "-rw-r--r--   1 owner      1234 Feb  3  2003 my page.html", "my page.html",
     1234, 'f', "2003-02-03 00:00:00"},
    {"unix-owners", "drwxr-xr-x   2 owner       512 Jan  5 12:30 www2", "www2", 512, 'd',
     "2024-01-05 12:30:00"},
    {"unix-owners", "-rw-r--r--   1 1001     1001          12 Mar  1 10:00 num.txt", "num.txt", 12,
     'f', "2024-03-01 10:00:00"},
    {"unix-owners", "-rw-r--r--   1 4294967294 4294967294  12 Mar  1 10:00 nobody.txt",
     "nobody.txt", 12, 'f', "2024-03-01 10:00:00"},
    {"unix-owners", "-rw-r--r--   1 DOMAIN\\taro  Domain Users   5120 Feb 14 14:14 win.doc",
     "win.doc", 5120, 'f', "2024-02-14 14:14:00"},
    {"unix-owners", "-rw-r--r--   1 taro@example.com  users   5120 Feb 14 14:14 mail-owner.txt",
     "mail-owner.txt", 5120, 'f', "2024-02-14 14:14:00"},
    {"unix-owners", "-rwxrwxrwx   1 owner    group         1803128 Jul 10 10:18 ls-lR.Z", "ls-lR.Z",
     1803128, 'f', "2023-07-10 10:18:00"},
    {"unix-owners", "drwxrwxrwx   1 owner    group               0 Jan 21  2020 aspnet_client",
     "aspnet_client", 0, 'd', "2020-01-21 00:00:00"},
    {"unix-owners", "-rw-r--r-- 1 ftp ftp          38383 Feb 12 15:06 fz.zip", "fz.zip", 38383, 'f',
     "2024-02-12 15:06:00"},
    {"unix-owners", "-------r--         326  1391972  1392298 Nov 22  1995 MegaPhone.sit",
     "MegaPhone.sit", 1392298, 'f', "1995-11-22 00:00:00"},
    {"unix-owners", "drwxrwxr-x               folder        2 May 10  1996 network", "network", 2,
     'd', "1996-05-10 00:00:00"},
    {"unix-owners", "-rw-r--r--   taro users 300 Mar 1 10:00 nolinks.txt", "nolinks.txt", 300, 'f',
     "2024-03-01 10:00:00"},
    {"unix-owners", "-rw-r--r--   1 Taro Yamada  staff   64 Mar  1 10:00 spaced-owner.txt",
     "spaced-owner.txt", 64, 'f', "2024-03-01 10:00:00"},

    {"unix-devices", "crw-rw----   1 root     dialout    4,  64 Mar  1 09:00 ttyS0", "ttyS0", 0,
     'f', "2024-03-01 09:00:00"},
    {"unix-devices", "brw-rw----   1 root     disk       8,   0 Mar  1 09:00 sda", "sda", 0, 'f',
     "2024-03-01 09:00:00"},
    {"unix-devices", "crw-rw-rw-   1 root     root       1,3 Mar  1 09:00 null", "null", 0, 'f',
     "2024-03-01 09:00:00"},
    {"unix-devices", "crw-------   1 root     root     136,   0 Mar  1 09:00 0", "0", 0, 'f',
     "2024-03-01 09:00:00"},
    {"unix-devices", "brw-rw----   1 root     disk     259,   1 Feb 20  2023 nvme0n1p1",
     "nvme0n1p1", 0, 'f', "2023-02-20 00:00:00"},
    {"unix-devices", "crw-rw-rw-   1 root     tty        5,   0 Mar 10 11:59 tty", "tty", 0, 'f',
     "2024-03-10 11:59:00"},
    {"unix-devices", "crw-r--r--   1 0        0         10, 235 2023-05-01 12:00 autofs", "autofs",
     0, 'f', "2023-05-01 12:00:00"},

    {"unix-units", "-rw-r--r--   1 taro users 33.5k Mar  1 10:00 photo.jpg", "photo.jpg", 34304,
     'f', "2024-03-01 10:00:00"},
    {"unix-units", "-rw-r--r--   1 taro users 2M Mar  1 10:00 video.mp4", "video.mp4", 2097152, 'f',
     "2024-03-01 10:00:00"},
    {"unix-units", "-rw-r--r--   1 taro users 1.2G Jan  1  2023 disc.iso", "disc.iso", 1288490189,
     'f', "2023-01-01 00:00:00"},
    {"unix-units", "-rw-r--r--   1 taro users 4.0K Mar  1 10:00 four.txt", "four.txt", 4096, 'f',
     "2024-03-01 10:00:00"},
    {"unix-units", "-rw-r--r--   1 taro users 1,234,567 Mar  1 10:00 grouped.bin", "grouped.bin",
     1234567, 'f', "2024-03-01 10:00:00"},
    {"unix-units", "-rw-r--r--   1 taro users 1.234.567 Mar  1 10:00 grouped-de.bin",
     "grouped-de.bin", 1234567, 'f', "2024-03-01 10:00:00"},
    {"unix-units", "-rw-r--r--   1 taro users 900B Mar  1 10:00 bytes.txt", "bytes.txt", 900, 'f',
     "2024-03-01 10:00:00"},

    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 2020-01-01 10:00 longiso.txt",
     "longiso.txt", 1234, 'f', "2020-01-01 10:00:00"},
    {"unix-numeric-dates", "drwxr-xr-x   2 taro users 4096 2019-12-31 23:59 longiso-dir",
     "longiso-dir", 4096, 'd', "2019-12-31 23:59:00"},
    {"unix-numeric-dates",
     "-rw-r--r--   1 taro users 1234 2021-06-07 21:22:33.123456789 +0200 fulliso.txt",
     "fulliso.txt", 1234, 'f', "2021-06-07 21:22:33"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 2005-06-07 iso-old.txt", "iso-old.txt",
     1234, 'f', "2005-06-07 00:00:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 02-28 13:45 iso-recent.txt",
     "iso-recent.txt", 1234, 'f', "2024-02-28 13:45:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 2003/10/12 09:30 slash.txt", "slash.txt",
     1234, 'f', "2003-10-12 09:30:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 12-03-2003 09:30 dashed.txt",
     "dashed.txt", 1234, 'f', "2003-12-03 09:30:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 25-03-2003 09:30 dashed-dm.txt",
     "dashed-dm.txt", 1234, 'f', "2003-03-25 09:30:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 2004.07.15 07:15 dotted.txt",
     "dotted.txt", 1234, 'f', "2004-07-15 07:15:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 15.07.2004 07:15 dotted-dm.txt",
     "dotted-dm.txt", 1234, 'f', "2004-07-15 07:15:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 3 29 03:26 nummonth.txt", "nummonth.txt",
     1234, 'f', "2024-03-29 03:26:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 12 1 2002 nummonth-year.txt",
     "nummonth-year.txt", 1234, 'f', "2002-12-01 00:00:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 1000 1000 1234 11 30 10:00 nummonth-numeric-owner.txt",
     "nummonth-numeric-owner.txt", 1234, 'f', "2023-11-30 10:00:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 29 Jul 02:27 daymonth.txt",
     "daymonth.txt", 1234, 'f', "2023-07-29 02:27:00"},
    {"unix-numeric-dates", "-rw-r--r--   1 taro users 1234 5 Jan 2003 daymonth-year.txt",
     "daymonth-year.txt", 1234, 'f', "2003-01-05 00:00:00"},
    {"unix-numeric-dates",
     "-rw-r--r--   1 taro users 1234 2020-01-01 10:00 2019-01-01 10:00 copy.txt",
     "2019-01-01 10:00 copy.txt", 1234, 'f', "2020-01-01 10:00:00"},

    {"unix-localized", "insgesamt 16", "", 0, '-', ""},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 26. Juli 12:30 sommer.txt", "sommer.txt",
     1234, 'f', "2023-07-26 12:30:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234  3. Mär 2003 maerz.txt", "maerz.txt", 1234,
     'f', "2003-03-03 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 Okt 12  2019 oktober.txt", "oktober.txt",
     1234, 'f', "2019-10-12 00:00:00"},
    {"unix-localized", "drwxr-xr-x   2 taro users 4096 Dez 24 18:00 weihnachten", "weihnachten",
     4096, 'd', "2023-12-24 18:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 Mai  1 08:00 mai.txt", "mai.txt", 1234, 'f',
     "2023-05-01 08:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 juil. 14 09:00 fete.txt", "fete.txt", 1234,
     'f', "2023-07-14 09:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 14 juil. 2003 fete-2003.txt",
     "fete-2003.txt", 1234, 'f', "2003-07-14 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 févr.  2  2010 fevrier.txt", "fevrier.txt",
     1234, 'f', "2010-02-02 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 déc. 25 10:00 noel.txt", "noel.txt", 1234,
     'f', "2023-12-25 10:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 ao\xFBt 15  2001 latin1.txt", "latin1.txt",
     1234, 'f', "2001-08-15 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 ene 10 10:00 enero.txt", "enero.txt", 1234,
     'f', "2024-01-10 10:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 dic 31  2002 diciembre.txt", "diciembre.txt",
     1234, 'f', "2002-12-31 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 ago 20  2012 agosto.txt", "agosto.txt", 1234,
     'f', "2012-08-20 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 2013. febr.  5. tel.txt", "tel.txt", 1234,
     'f', "2013-02-05 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 márc. 15. 10:30 tavasz.txt", "tavasz.txt",
     1234, 'f', "2024-03-15 10:30:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 mrt 21  2008 lente.txt", "lente.txt", 1234,
     'f', "2008-03-21 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 mei  5 12:00 bevrijding.txt",
     "bevrijding.txt", 1234, 'f', "2023-05-05 12:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 giu  2  2011 repubblica.txt",
     "repubblica.txt", 1234, 'f', "2011-06-02 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 out  5  2010 outubro.txt", "outubro.txt",
     1234, 'f', "2010-10-05 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 янв 15  2015 zima.txt", "zima.txt", 1234,
     'f', "2015-01-15 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 lis 11  2018 niepodleglosc.txt",
     "niepodleglosc.txt", 1234, 'f', "2018-11-11 00:00:00"},
    {"unix-localized", "-rw-r--r--   1 taro users 1234 maj 17 17:05 grunnlov.txt", "grunnlov.txt",
     1234, 'f', "2023-05-17 17:05:00"},

    {"unix-east-asian", "合計 48", "", 0, '-', ""},
    {"unix-east-asian", "\x8D\x87\x8C\x76 48", "", 0, '-', ""},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234  4月 18日 2003年 index.html", "index.html",
     1234, 'f', "2003-04-18 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234 12月 29日 03:26 diary.html", "diary.html",
     1234, 'f', "2023-12-29 03:26:00"},
    {"unix-east-asian", "drwxr-xr-x   2 taro users 4096 12月 29 03:26 photos", "photos", 4096, 'd',
     "2023-12-29 03:26:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234  3月  5  2019 modern.txt", "modern.txt",
     1234, 'f', "2019-03-05 00:00:00"},
    {"unix-east-asian",
     "-rw-r--r--   1 taro users 1234  4\x8C\x8E 18\x93\xFA 2003\x94\x4E sjis.html", "sjis.html",
     1234, 'f', "2003-04-18 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234 12\x8C\x8E 29\x93\xFA 03:26 sjis-time.html",
     "sjis-time.html", 1234, 'f', "2023-12-29 03:26:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234  1\x8C\x8E  5 10:00 \x95\x5C\x8E\xA6.htm",
     "\x95\x5C\x8E\xA6.htm", 1234, 'f', "2024-01-05 10:00:00"},
    {"unix-east-asian",
     "-rw-r--r--   1 taro users 1234  4\xB7\xEE 18\xC6\xFC 2003\xC7\xAF euc.html", "euc.html", 1234,
     'f', "2003-04-18 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234 11\xB7\xEE  3\xC6\xFC 09:09 euc-time.html",
     "euc-time.html", 1234, 'f', "2023-11-03 09:09:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234  2\xB7\xEE 14 12:00 \xC6\xFC\xB5\xAD.txt",
     "\xC6\xFC\xB5\xAD.txt", 1234, 'f', "2024-02-14 12:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234  4월 18일 2003년 korean.html",
     "korean.html", 1234, 'f', "2003-04-18 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234 12월 25 10:00 korean-recent.html",
     "korean-recent.html", 1234, 'f', "2023-12-25 10:00:00"},
    {"unix-east-asian",
     "-rw-r--r--   1 taro users 1234  5\xBF\xF9  5\xC0\xCF 2010\xB3\xE2 euckr.txt", "euckr.txt",
     1234, 'f', "2010-05-05 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234 10\xD4\xC2  1 2009 gbk.txt", "gbk.txt",
     1234, 'f', "2009-10-01 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234 10月  1  2009 china.txt", "china.txt", 1234,
     'f', "2009-10-01 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234  6\xA4\xEB  4  2012 big5.txt", "big5.txt",
     1234, 'f', "2012-06-04 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 taro users 1234 2003   3月 20日 year-first.html",
     "year-first.html", 1234, 'f', "2003-03-20 00:00:00"},
    {"unix-east-asian", "drwxr-xr-x   2 taro users 4096 2019  12月  3日    year-first-dir",
     "year-first-dir", 4096, 'd', "2019-12-03 00:00:00"},
    {"unix-east-asian",
     "-rw-r--r--   1 taro users 1234 2003   3\x8C\x8E 20\x93\xFA sjis-year-first.html",
     "sjis-year-first.html", 1234, 'f', "2003-03-20 00:00:00"},
    {"unix-east-asian",
     "-rw-r--r--   1 taro users 1234 2010  10\xD4\xC2  1\xC8\xD5 gbk-year-first.txt",
     "gbk-year-first.txt", 1234, 'f', "2010-10-01 00:00:00"},
    {"unix-east-asian", "-rw-r--r--   1 1000 1000 2003  3月 20日 10:00 size-2003.txt",
     "size-2003.txt", 2003, 'f', "2024-03-20 10:00:00"},

    {"dos", "01-15-03  10:30AM       <DIR>          docs", "docs", 0, 'd', "2003-01-15 10:30:00"},
    {"dos", "01-15-03  10:30PM                 1234 a b.txt", "a b.txt", 1234, 'f',
     "2003-01-15 22:30:00"},
    {"dos", "02-29-04  12:00AM                    0 leap.txt", "leap.txt", 0, 'f',
     "2004-02-29 00:00:00"},
    {"dos", "12-31-99  11:59PM                1,024 y2k.txt", "y2k.txt", 1024, 'f',
     "1999-12-31 23:59:00"},
    {"dos", "03-01-2024  09:15AM       <DIR>          four-digit", "four-digit", 0, 'd',
     "2024-03-01 09:15:00"},
    {"dos", "03-01-2024  09:15               12,345 24h.txt", "24h.txt", 12345, 'f',
     "2024-03-01 09:15:00"},
    {"dos", "03-01-2024  21:15               12,345 24h-pm.txt", "24h-pm.txt", 12345, 'f',
     "2024-03-01 21:15:00"},
    {"dos", "2024-03-01  21:15    <DIR>          iso-dir", "iso-dir", 0, 'd',
     "2024-03-01 21:15:00"},
    {"dos", "15.03.2024  21:15    <DIR>          german-dir", "german-dir", 0, 'd',
     "2024-03-15 21:15:00"},
    {"dos", "15.03.2024  21:15            1.234.567 german.bin", "german.bin", 1234567, 'f',
     "2024-03-15 21:15:00"},
    {"dos", "10-05-21  01:02PM                   15 multiple   spaces.txt", "multiple   spaces.txt",
     15, 'f', "2021-10-05 13:02:00"},
    {"dos", "10-05-21  01:02PM                   15 \x95\x5C\x8E\xA6.htm", "\x95\x5C\x8E\xA6.htm",
     15, 'f', "2021-10-05 13:02:00"},
    {"dos", "04-27-00  09:09PM       <DIR>          licensed", "licensed", 0, 'd',
     "2000-04-27 21:09:00"},
    {"dos", "07-04-2023  03:04 PM    <DIR>          separate-ampm", "separate-ampm", 0, 'd',
     "2023-07-04 15:04:00"},
    {"dos", "11/03/2023  10:00 AM            2,048 slash.txt", "slash.txt", 2048, 'f',
     "2023-11-03 10:00:00"},
    {"dos", "13-45-03  10:30AM   7 bad date", "bad date", 7, 'f', ""},
    {"dos", "01-15-03  10:30AM       <DIR>          123 numeric", "123 numeric", 0, 'd',
     "2003-01-15 10:30:00"},
    {"dos", "06-30-15  12:45PM           4294967296 four-gig.bin", "four-gig.bin", 4294967296, 'f',
     "2015-06-30 12:45:00"},

    {"vms", "Directory DISK$USER:[ADMIN]", "", 0, '-', ""},
    {"vms",
     "INDEX.HTML;3              12/15      15-JAN-2003 10:30:45  [WWW,ADMIN]     (RWED,RWED,RE,RE)",
     "INDEX.HTML;3", 6144, 'f', "2003-01-15 10:30:45"},
    {"vms",
     "WWW.DIR;1                  1/3        2-FEB-2004 08:00:00.00  [ADMIN]  (RWE,RWE,RE,RE)",
     "WWW", 512, 'd', "2004-02-02 08:00:00", "", "WWW.DIR;1"},
    {"vms", "LOGIN.COM;12                2          5-MAR-2010 17:44:12.34 [ADMIN] (RWED,RWED,,)",
     "LOGIN.COM;12", 1024, 'f', "2010-03-05 17:44:12"},
    {"vms", "ADVANCED.TXT;1         3   8-NOV-1996 13:37 [SYSTEM]   (RWED,RWED,RE,RE)",
     "ADVANCED.TXT;1", 1536, 'f', "1996-11-08 13:37:00"},
    {"vms", "CII-MANUAL.TEX;1  213/216  29-JAN-1996 03:33:12  [ANONYMOU,ANONYMOUS]   (RWED,RWED,,)",
     "CII-MANUAL.TEX;1", 109056, 'f', "1996-01-29 03:33:12"},
    {"vms",
     "A_VERY_LONG_FILE_NAME_FOR_THE_COLUMN.TXT;2\n                          4/6        1-DEC-2001 "
     "12:00:00.00  [ADMIN]  (RWED,RWED,R,)",
     "A_VERY_LONG_FILE_NAME_FOR_THE_COLUMN.TXT;2", 2048, 'f', "2001-12-01 12:00:00"},
    {"vms", "NOTES.TXT;1  14-APR-2015 09:30:00.00  7/9  [USER]  (RWED,RWED,RE,)", "NOTES.TXT;1",
     3584, 'f', "2015-04-14 09:30:00"},
    {"vms", "BACKUP.DIR;1  1/3  [SYSTEM]  (RWE,RWE,RE,RE)  30-JUN-2020 23:59:59.99", "BACKUP", 512,
     'd', "2020-06-30 23:59:59", "", "BACKUP.DIR;1"},
    {"vms", "readme.txt;1  1  10-OCT-2010 10:10:10.10  [USER]  (RWED,RWED,RE,RE)", "readme.txt;1",
     512, 'f', "2010-10-10 10:10:10"},
    {"vms", "SETUP.EXE;5  200/200  1-JAN-2000 00:00:00.00  [SYSTEM]  (RWED,RWED,RE,RE)",
     "SETUP.EXE;5", 102400, 'f', "2000-01-01 00:00:00"},
    {"vms", "PHOTO.JPG;2   2KB  3-MAR-2023 14:05:00  [WWW,ADMIN]  (RWED,RWED,RE,RE)", "PHOTO.JPG;2",
     2048, 'f', "2023-03-03 14:05:00"},
    {"vms", "MOVIE.MPG;1  1.5MB  3-MAR-2023 14:05:00  [WWW,ADMIN]  (RWED,RWED,RE,RE)",
     "MOVIE.MPG;1", 1572864, 'f', "2023-03-03 14:05:00"},
    {"vms", "ODD.LOG;4  6  17-XYZ-2019 08:00:00.00  [USER]  (RWED,RWED,RE,)", "ODD.LOG;4", 3072,
     'f', ""},
    {"vms", "OWNED.TXT;7  [ADMIN]  3/3  9-SEP-2009 09:09:09.00  (RWED,RWED,RE,RE)", "OWNED.TXT;7",
     1536, 'f', "2009-09-09 09:09:09"},
    {"vms", "NOSIZE.TXT;1  9-SEP-2009 09:09:09.00  [ADMIN]  (RWED,RWED,RE,RE)", "NOSIZE.TXT;1", -1,
     'f', "2009-09-09 09:09:09"},
    {"vms",
     "ANOTHER_NAME_THAT_FILLS_THE_WHOLE_COLUMN.DIR;1\n1/3  2-FEB-2022 22:22:22.22  [ADMIN]  "
     "(RWE,RWE,RE,RE)",
     "ANOTHER_NAME_THAT_FILLS_THE_WHOLE_COLUMN", 512, 'd', "2022-02-02 22:22:22", "",
     "ANOTHER_NAME_THAT_FILLS_THE_WHOLE_COLUMN.DIR;1"},
    {"vms", "docs.dir;3  2/3  4-APR-2014 11:00:00.00  [WWW]  (RWE,RWE,RE,RE)", "docs", 1024, 'd',
     "2014-04-04 11:00:00", "", "docs.dir;3"},
    {"vms", "RAPPORT.TXT;1  15-JUI-2002", "RAPPORT.TXT;1", -1, 'f', ""},
    {"vms", "RESUME_DES_TRAVAUX_DE_L_ANNEE_PRECEDENTE.TXT;4\n                 15-JUI-2002",
     "RESUME_DES_TRAVAUX_DE_L_ANNEE_PRECEDENTE.TXT;4", -1, 'f', ""},
    {"vms", "NOTES.LIS;2  4  15-JUI-2002  [USER]  (RWED,RWED,RE,)", "NOTES.LIS;2", 2048, 'f', ""},
    {"vms", "Total of 10 files, 248/300 blocks.", "", 0, '-', ""},
    {"vms", "Grand total of 1 directory, 10 files, 248/300 blocks.", "", 0, '-', ""},

    {"eplf", "+i8388621.48594,m825718503,r,s280,\tdjb.html", "djb.html", 280, 'f',
     "1996-03-02 07:15:03"},
    {"eplf", "+i8388621.50690,m824255907,/,\t514", "514", -1, 'd', "1996-02-14 08:58:27"},
    {"eplf", "+i8388621.44468,m839956783,r,s10376,\tRFCEPLF", "RFCEPLF", 10376, 'f',
     "1996-08-14 02:19:43"},
    {"eplf", "+i8388621.29609,m824255902,/,\tdev", "dev", -1, 'd', "1996-02-14 08:58:22"},
    {"eplf", "+m825718503,r,s0,\t leading space", " leading space", 0, 'f', "1996-03-02 07:15:03"},
    {"eplf", "+i1.2,m1700000000,r,s123456789012,up644,\tbig.iso", "big.iso", 123456789012, 'f',
     "2023-11-15 07:13:20"},

    {"netware", "d [R----F--] supervisor            512       Jan 16 18:53    login", "login", 512,
     'd', "2024-01-16 18:53:00"},
    {"netware", "- [RWCEAFMS] rhesus             214059       Oct 20 15:27    cx.exe", "cx.exe",
     214059, 'f', "2023-10-20 15:27:00"},
    {"netware", "d [RWCEAFMS] admin                 512       May  5  2003    public", "public",
     512, 'd', "2003-05-05 00:00:00"},
    {"netware", "- [R----F--] admin                1024       Feb 28 10:00    readme.txt",
     "readme.txt", 1024, 'f', "2024-02-28 10:00:00"},
    {"netware", "- [RWCEAFMS] guest                   0       Mar  1 00:00    empty file.txt",
     "empty file.txt", 0, 'f', "2024-03-01 00:00:00"},
    {"netware", "d [-WCE-F--] www                   512       Dec  1  1999    html", "html", 512,
     'd', "1999-12-01 00:00:00"},

    {"os2", "           0           DIR   05-12-97   16:44  PSFONTS", "PSFONTS", 0, 'd',
     "1997-05-12 16:44:00"},
    {"os2", "       73098      A          04-06-97   15:15  ds0.internic.net1996052434624.txt",
     "ds0.internic.net1996052434624.txt", 73098, 'f', "1997-04-06 15:15:00"},
    {"os2", "   36611      A    04-23-103   10:57  OS2 test1.file", "OS2 test1.file", 36611, 'f',
     "2003-04-23 10:57:00"},
    {"os2", "     1123      A          07-14-99   12:37  jbrekke.cfg", "jbrekke.cfg", 1123, 'f',
     "1999-07-14 12:37:00"},
    {"os2", "        0           DIR   01-01-00   00:00  y2k dir", "y2k dir", 0, 'd',
     "2000-01-01 00:00:00"},
    {"os2", "   12345                  02-29-96   23:59  noattr.txt", "noattr.txt", 12345, 'f',
     "1996-02-29 23:59:00"},

    {"os400", "QSYS            18944 02/04/97 16:57:03 *DIR       QOpenSys/", "QOpenSys", 18944,
     'd', "1997-02-04 16:57:03"},
    {"os400", "QDOC            26624 11/29/00 13:43:19 *FLR       QDLS/", "QDLS", 26624, 'd',
     "2000-11-29 13:43:19"},
    {"os400", "WEBUSER          4096 03/01/24 09:00:00 *STMF      index.html", "index.html", 4096,
     'f', "2024-03-01 09:00:00"},
    {"os400", "WEBUSER        123456 12/31/23 23:59:59 *STMF      data file.csv", "data file.csv",
     123456, 'f', "2023-12-31 23:59:59"},
    {"os400", "QSECOFR          8192 20.12.02 10:00:00 *DIR       home/", "home", 8192, 'd',
     "2002-12-20 10:00:00"},

    {"mlsd", "type=cdir;modify=20240301000000;perm=flcdmpe; .", "", 0, '-', ""},
    {"mlsd", "type=pdir;modify=20240301000000;perm=flcdmpe; ..", "", 0, '-', ""},
    {"mlsd", "type=file;size=1234;modify=20030115013045;perm=adfrw;unix.mode=0644; index.html",
     "index.html", 1234, 'f', "2003-01-15 10:30:45"},
    {"mlsd", "type=dir;modify=20240301000000;perm=flcdmpe;unix.mode=0755; www", "www", -1, 'd',
     "2024-03-01 09:00:00"},
    {"mlsd", "type=file;size=0;modify=20240229150000;  leading space.txt", " leading space.txt", 0,
     'f', "2024-03-01 00:00:00"},
    {"mlsd", "type=file;size=12;modify=20231231150000.123;perm=r; year end.txt", "year end.txt", 12,
     'f', "2024-01-01 00:00:00"},
    {"mlsd", "type=OS.unix=slink:/var/www;modify=20240101000000; www-link", "www-link", -1, 'l',
     "2024-01-01 09:00:00", "/var/www"},
    {"mlsd", "Type=File;Size=5;Modify=20240101000000; caps.txt", "caps.txt", 5, 'f',
     "2024-01-01 09:00:00"},
    {"mlsd", "type=file;size=9876543210;modify=20240101000000; big.iso", "big.iso", 9876543210, 'f',
     "2024-01-01 09:00:00"},
    {"mlsd", "modify=20240101000000;perm=adfr;size=77;type=file;unique=801U1234; reordered.txt",
     "reordered.txt", 77, 'f', "2024-01-01 09:00:00"},
    {"mlsd", "type=dir;sizd=4096;modify=20240101000000; sized-dir", "sized-dir", 4096, 'd',
     "2024-01-01 09:00:00"},
    {"mlsd",
     "type=file;size=10;modify=20240101000000;unix.mode=2755;unix.owner=taro;unix.group=web; "
     "setgid.cgi",
     "setgid.cgi", 10, 'f', "2024-01-01 09:00:00"},
    {"mlsd", "type=file;size=10;modify=20240101000000; \x95\x5C\x8E\xA6.htm",
     "\x95\x5C\x8E\xA6.htm", 10, 'f', "2024-01-01 09:00:00"},
    {"mlsd", "type=file;size=10;modify=20240101000000; a; b=c.txt", "a; b=c.txt", 10, 'f',
     "2024-01-01 09:00:00"},
    {"mlsd", "type=file;size=10;modify=20240101000000; name -> arrow", "name -> arrow", 10, 'f',
     "2024-01-01 09:00:00"},
    {"mlsd", "type=file;size=10;unix.mode=0644; undated.txt", "undated.txt", 10, 'f', ""},
    {"mlsd",
     "type=file;size=10;modify=20240310120000;perm=radfwMT;unix.mode=0o644;unix.uid=0;unix.gid=0;"
     "unique=803g1a2b3; pyftpd.txt",
     "pyftpd.txt", 10, 'f', "2024-03-10 21:00:00"},
    {"mlsd",
     "type=dir;size=4096;modify=20240310120000;perm=elcdfmp;unix.mode=0775;unique=803g1a2b4; -old",
     "-old", 4096, 'd', "2024-03-10 21:00:00"},

    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 26. Juli, 12:30 juli-komma.txt",
     "juli-komma.txt", 1234, 'f', "2023-07-26 12:30:00"},
    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 30. Jan., 08:15 jan-punkt.txt",
     "jan-punkt.txt", 1234, 'f', "2024-01-30 08:15:00"},
    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 2003年4月18日 year-first.html",
     "year-first.html", 1234, 'f', "2003-04-18 00:00:00"},
    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 2019年 12月  3日 10:05 spaced.html",
     "spaced.html", 1234, 'f', "2019-12-03 10:05:00"},
    {"unix-dates-unexpected",
     "-rw-r--r--   1 taro users 1234 2003\x94\x4E"
     "4\x8C\x8E"
     "18\x93\xFA sjis-year-first.html",
     "sjis-year-first.html", 1234, 'f', "2003-04-18 00:00:00"},
    {"unix-dates-unexpected",
     "-rw-r--r--   1 taro users 1234 2011\xFE\xA1"
     "7\xFE\xA2"
     "9\xFE\xA3 unknown-markers.txt",
     "unknown-markers.txt", 1234, 'f', "2011-07-09 00:00:00"},
    {"unix-dates-unexpected",
     "-rw-r--r--   1 taro users 1234  7\xFE\xA2  9\xFE\xA3 2011\xFE\xA1 unknown-month-first.txt",
     "unknown-month-first.txt", 1234, 'f', "2011-07-09 00:00:00"},
    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 2004.07.15     padded.txt",
     "padded.txt", 1234, 'f', "2004-07-15 00:00:00"},
    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 09-26 2000 month-day-year.txt",
     "month-day-year.txt", 1234, 'f', "2000-09-26 00:00:00"},
    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 01-jun-99 day-mon-yy.txt",
     "day-mon-yy.txt", 1234, 'f', "1999-06-01 00:00:00"},
    {"unix-dates-unexpected", "-rw-r--r--   1 taro users 1234 no-date.txt", "no-date.txt", 1234,
     'f', ""},
    {"unix-dates-unexpected", "drwxr-xr-x   2 taro users 4096 no date dir", "no date dir", 4096,
     'd', ""},
    {"unix-dates-unexpected", "drwxr-xr-x   2 taro users 4096 Xyz 5 12:30 unknown-month",
     "unknown-month", 4096, 'd', ""},
    {"unix-dates-unexpected",
     "-rw-r--r--   1 taro users 1234 \xCE\x99\xCE\xB1\xCE\xBD 5 2003 greek.txt", "greek.txt", 1234,
     'f', ""},
    {"unix-columns", "-rw-r--r--   1 taro     webdev1     1234 Jan  5 12:30 aligned.txt",
     "aligned.txt", 1234, 'f', "2024-01-05 12:30:00"},
    {"unix-columns", "-rw-r--r--   1 taro     webdev2123456789 Jan  5 12:30 glued-aligned.txt",
     "glued-aligned.txt", 123456789, 'f', "2024-01-05 12:30:00"},
    {"unix-columns", "-rw-r--r-- 1 taro longgroup123456 Jan 5 12:30 glued-alone.txt",
     "glued-alone.txt", 123456, 'f', "2024-01-05 12:30:00"},

    {"vshell", "     1234  Oct 08, 2002 09:47 vshell.txt", "vshell.txt", 1234, 'f',
     "2002-10-08 09:47:00"},
    {"vshell", "        0  Jan 31, 2024 23:00 public_html/", "public_html", 0, 'd',
     "2024-01-31 23:00:00"},
    {"vshell", "   889012  Feb 29, 2020 00:01 two words.zip", "two words.zip", 889012, 'f',
     "2020-02-29 00:01:00"},
    {"vshell", "-rw-r--r--   1 taro users 1234 Oct 08, 2002 09:47 comma-day.txt", "comma-day.txt",
     1234, 'f', "2002-10-08 09:47:00"},
    {"vshell", "drwxr-xr-x   1 taro users    0 Dec 24, 2023 18:00 comma-dir", "comma-dir", 0, 'd',
     "2023-12-24 18:00:00"},

    {"unix-numeric", "0100644 500 101 12345 1700000000 numeric.txt", "numeric.txt", 12345, 'f',
     "2023-11-15 07:13:20"},
    {"unix-numeric", "040755 500 101 4096 1000000000 numeric-dir", "numeric-dir", 4096, 'd',
     "2001-09-09 10:46:40"},
    {"unix-numeric", "0120777 0 0 11 1700000000 numeric-link -> target", "numeric-link", 11, 'l',
     "2023-11-15 07:13:20", "target"},
    {"unix-numeric", "0100600 1000 1000 0 123456789 old numeric.txt", "old numeric.txt", 0, 'f',
     "1973-11-30 06:33:09"},
    {"unix-numeric", "0100644   500   101      2048 1700000000    padded-numeric.txt",
     "padded-numeric.txt", 2048, 'f', "2023-11-15 07:13:20"},
    {"unix-numeric", "040755   500   101      4096 1000000000    padded dir", "padded dir", 4096,
     'd', "2001-09-09 10:46:40"},

    {"mlsd-older", "type=file;size=12;modify=20240101000000 nosemi.txt", "nosemi.txt", 12, 'f',
     "2024-01-01 09:00:00"},
    {"mlsd-older", "modify=20240101000000;perm=el;type=dir nosemi-dir", "nosemi-dir", -1, 'd',
     "2024-01-01 09:00:00"},
    {"mlsd-older", "type=file;size=abc;modify=20240101000000; badsize.txt", "badsize.txt", -1, 'f',
     "2024-01-01 09:00:00"},
    {"mlsd-older", "type=file;size=-5;modify=20240101000000; negative.txt", "negative.txt", -1, 'f',
     "2024-01-01 09:00:00"},
    {"mlsd-older", "type=file;size=18446744073709551616;modify=20240101000000; huge.bin",
     "huge.bin", -1, 'f', "2024-01-01 09:00:00"},
    {"mlsd-older", "type=file;size=9223372036854775807;modify=20240101000000; largest.bin",
     "largest.bin", 9223372036854775807, 'f', "2024-01-01 09:00:00"},
    {"mlsd-older", "type=file;size=5;modify=2024XX01000000; bad-modify.txt", "bad-modify.txt", 5,
     'f', ""},

    {"mvs", "Volume Unit    Referred Ext Used Recfm Lrecl BlkSz Dsorg Dsname", "", 0, '-', ""},
    {"mvs", "WYOSPT 3390   2003/03/11  1   15  FB      80  8800  PS  USER.DATA", "USER.DATA",
     792000, 'f', "2003-03-11 00:00:00"},
    {"mvs", "WYOSPT 3390   **NONE**    1    2  FB      80 27998  PS  USER.NEVER.READ",
     "USER.NEVER.READ", 111992, 'f', ""},
    {"mvs", "WYOSPT 3390   2024/02/20  1    3  VB   27994 27998  PS  USER.HALF", "USER.HALF",
     167988, 'f', "2024-02-20 00:00:00"},
    {"mvs", "WYOSPT 3390   2024/02/20  1    3  VB   27994 27999  PS  USER.FULL", "USER.FULL", 83997,
     'f', "2024-02-20 00:00:00"},
    {"mvs", "OLDVOL 3380   2001/06/30  1   10  FB      80  6356  PS  USER.OLDDISK", "USER.OLDDISK",
     444920, 'f', "2001-06-30 00:00:00"},
    {"mvs", "WYOSPT 3390   **NONE**    1    1  FB      80 27920  PO  USER.NEW.PDS", "USER.NEW.PDS",
     -1, 'd', ""},
    {"mvs", "WYOSPT 3390   2024/01/15  1    1  FB      80 27920  PO  USER.PDS", "USER.PDS", -1, 'd',
     "2024-01-15 00:00:00"},
    {"mvs", "Migrated                                                USER.OLD", "USER.OLD", -1, 'f',
     ""},
    {"mvs", "Pseudo Directory                                        USER.SUB", "USER.SUB", -1, 'd',
     ""},
    {"mvs", " Name     VV.MM   Created       Changed      Size  Init   Mod   Id", "", 0, '-', ""},
    {"mvs", "MEMBER1   01.01 2003/01/15 2003/01/16 10:30    10    10     0 USERID", "MEMBER1", -1,
     'f', "2003-01-16 10:30:00"},
    {"mvs", " Name      Size   TTR   Alias-of AC --------- Attributes --------- Amode Rmode", "", 0,
     '-', ""},
    {"mvs", "IEFBR14   000008 00000F          00 FO             RN RU            31    ANY",
     "IEFBR14", -1, 'f', ""},

    {"zvm", "PROFILE  EXEC     V         72         15          1 2003-01-15 10:30:45 VMSYSU",
     "PROFILE.EXEC", -1, 'f', "2003-01-15 10:30:45"},
    {"zvm", "DATA     FILE     F         80        100          2 01/15/03 10:30:45 VMSYSU",
     "DATA.FILE", 8000, 'f', "2003-01-15 10:30:45"},
    {"zvm", "SUBDIR   DIR      -          -          -          - 2003-01-15 10:30:45 -", "SUBDIR",
     -1, 'd', "2003-01-15 10:30:45"},

    {"os9", "Owner    Last modified  Attributes Sector Bytecount Name", "", 0, '-', ""},
    {"os9", "-------- -------------  ---------- ------ --------- ----", "", 0, '-', ""},
    {"os9", " 0.0     03/01/15 1030  ------wr       A6      1234 file.txt", "file.txt", 1234, 'f',
     "2003-01-15 10:30:00"},
    {"os9", " 0.0     99/12/31 2359  d-ewrewr       B0       448 CMDS", "CMDS", 448, 'd',
     "1999-12-31 23:59:00"},

    {"nonstop", "File         Code             EOF  Last Modification    Owner  RWEP", "", 0, '-',
     ""},
    {"nonstop", "ALTERN        1000           12345 15-Jan-03 10:30:45  255,255 \"oooo\"", "ALTERN",
     12345, 'f', "2003-01-15 10:30:45"},
    {"nonstop", "OSSFILE       180O            999 01-Feb-24 08:00:00  100,1 \"nuun\"", "OSSFILE",
     999, 'f', "2024-02-01 08:00:00"},
    {"nonstop", "ZZSA0001        0          204800  9-Mar-24 23:05:17 255, 255 \"gggg\"",
     "ZZSA0001", 204800, 'f', "2024-03-09 23:05:17"},
    {"nonstop", "PAYROLL       101           52736 28-Dec-2023 07:30  SUPER.SUPER \"nnnu\"",
     "PAYROLL", 52736, 'f', "2023-12-28 07:30:00"},
    {"nonstop", "LOGFILE       101            4096 02-Mar-24 12:00:00", "LOGFILE", 4096, 'f',
     "2024-03-02 12:00:00"},

    {"vxworks", "  size          date       time       name", "", 0, '-', ""},
    {"vxworks", "--------       ------     ------    --------", "", 0, '-', ""},
    {"vxworks", "   48736        JUL-06-2008  09:57:52   NVRAM.CFG", "NVRAM.CFG", 48736, 'f',
     "2008-07-06 09:57:52"},
    {"vxworks", "    1024        JAN-03-2024  14:37:34   IPV6              <DIR>", "IPV6", -1, 'd',
     "2024-01-03 14:37:34"},
    {"vxworks", "  1876354        FEB-29-2024  00:00:01   boot image.img", "boot image.img",
     1876354, 'f', "2024-02-29 00:00:01"},

    {"wfftp", "File Name          Size    Date     Day       Time", "", 0, '-', ""},
    {"wfftp", "------------------------------------------------------", "", 0, '-', ""},
    {"wfftp", " bn.exe        11324464  07/28/04  Wed.     15:25:04", "bn.exe", 11324464, 'f',
     "2004-07-28 15:25:04"},
    {"wfftp", " config            9540  03/05/24  Tue      14:59:16", "config", 9540, 'f',
     "2024-03-05 14:59:16"},
    {"wfftp", " ti.cfg             596  12/31/1999  23:59:59", "ti.cfg", 596, 'f',
     "1999-12-31 23:59:59"},
    {"wfftp", " 65536000 bytes - Total size", "", 0, '-', ""},

    {"connect-enterprise", "-C--E-----FTP B QUA1I1      18128       41 Aug 12 13:56 QUADTEST",
     "QUADTEST", 18128, 'f', "2023-08-12 13:56:00"},
    {"connect-enterprise", "-C--E-----FTP A QUA1I1        512        9 Mar  1 09:00 QUADTEST2",
     "QUADTEST2", 512, 'f', "2024-03-01 09:00:00"},
    {"connect-enterprise", "-A-R------ 1 SZ999FTI 0692432 7 Mar 3 15:33 RESTORE", "RESTORE", -1,
     'f', "2024-03-03 15:33:00"},
    {"connect-enterprise", "-A--T----- 1 SZ999FTI 0731275 17 Mar 4 11:09 073134200010001U",
     "073134200010001U", -1, 'f', "2024-03-04 11:09:00"},
    {"connect-enterprise", "-C------S- 1 SZ999FTI 0692922 43 Nov 30 2023 outbound.edi",
     "outbound.edi", -1, 'f', "2023-11-30 00:00:00"},

    {"unreadable", "ls: cannot open directory .: Permission denied", "", 0, 'x', ""},
    {"unreadable", "-rw-r--r--   1 taro users 1234 Feb 30 2003 bad-date.txt", "", 0, 'x', ""},
    {"unreadable", "-rw-r--r--   1 taro users 1234 Jan 1 25:00 bad-hour.txt", "", 0, 'x', ""},
    {"unreadable", "-rw-r--r--   1 o g 1 Jan 1", "", 0, 'x', ""},
    {"unreadable", "garbage line without any structure", "", 0, 'x', ""},
    {"unreadable", "-rw-r--r--   1 taro users 1234 2003-13-45 broken-iso.txt", "", 0, 'x', ""},
    {"unreadable", "+i1,m12,r,s10", "", 0, 'x', ""},
};

std::string DateText(double v) {
  if (v == 0) return "";
  const double day = std::floor(v);
  const int64_t ms = static_cast<int64_t>(std::floor((v - day) * 86400000.0 + 0.5));
  int64_t z = static_cast<int64_t>(day) - 25569 + 719468;  // days since 0000-03-01
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  const int64_t y = yoe + era * 400 + (m <= 2);
  const int64_t s = ms / 1000;
  char buf[128];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld",
                static_cast<long long>(y), static_cast<long long>(m), static_cast<long long>(d),
                static_cast<long long>(s / 3600), static_cast<long long>(s / 60 % 60),
                static_cast<long long>(s % 60));
  return buf;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
    out.push_back(text.substr(start, nl - start));
  out.push_back(text.substr(start));
  return out;
}

TIdFTPListItems Load(const std::vector<std::string>& lines) {
  TIdFTPListItems items;
  items.Today = TIdCivilDate{2024, 3, 10};
  items.UtcOffsetMinutes = 9 * 60;
  items.LoadList(lines);
  return items;
}

bool IsEntry(const Line& l) { return l.kind == 'f' || l.kind == 'd' || l.kind == 'l'; }

TEST(FtpListCorpus, EveryFamilyReadsAsOneMixedListing) {
  std::vector<std::string> lines;
  std::vector<const Line*> expected;
  size_t unreadable = 0;
  for (const Line& l : kCorpus) {
    for (std::string& part : LinesOf(l.text)) lines.push_back(std::move(part));
    if (IsEntry(l)) expected.push_back(&l);
    if (l.kind == 'x') ++unreadable;
  }
  ASSERT_GE(lines.size(), 150u);
  TIdFTPListItems items = Load(lines);
  EXPECT_EQ(items.UnparsedLines(), unreadable);
  ASSERT_EQ(items.Count(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const Line& want = *expected[i];
    const TIdFTPListItem& got = items[i];
    SCOPED_TRACE(std::string(want.family) + ": " + want.text);
    EXPECT_EQ(got.FileName, want.name);
    EXPECT_EQ(got.Size, want.size);
    const char kind = got.ItemType == TIdDirItemType::ditDirectory      ? 'd'
                      : got.ItemType == TIdDirItemType::ditSymbolicLink ? 'l'
                                                                        : 'f';
    EXPECT_EQ(kind, want.kind);
    EXPECT_EQ(DateText(got.ModifiedDate), want.date);
    EXPECT_EQ(got.LinkTarget, want.target);
    EXPECT_EQ(got.WireName, want.wire);
  }
  // An MLSD listing read as such gives the same entries as its lines above.
  std::vector<std::string> mlsd;
  for (const Line& l : kCorpus)
    if (std::string(l.family) == "mlsd") mlsd.push_back(l.text);
  TIdFTPListItems facts;
  facts.UtcOffsetMinutes = 9 * 60;
  facts.LoadMlsd(mlsd);
  EXPECT_EQ(facts.Count(), mlsd.size() - 2);
  EXPECT_EQ(facts.UnparsedLines(), 0u);
}

// Random bytes dropped into some lines of a valid listing: nothing crashes,
// and every line left alone still comes through, in order. (Lines read by
// their columns' alignment with other lines are left out: damaging their
// neighbour changes them by design.)
TEST(FtpListCorpus, DamagedLinesLeaveTheOthersIntact) {
  std::vector<const Line*> valid;
  for (const Line& l : kCorpus)
    if (IsEntry(l) && l.text.find('\n') == std::string::npos &&
        std::string(l.family) != "unix-columns")
      valid.push_back(&l);
  std::mt19937 rng(20240310);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::string> lines;
    std::vector<const Line*> intact;
    for (const Line* l : valid) {
      std::string text = l->text;
      if (rng() % 4 == 0) {
        for (int n = 1 + static_cast<int>(rng() % 4); n > 0; --n)
          text.insert(text.begin() + static_cast<std::ptrdiff_t>(rng() % (text.size() + 1)),
                      static_cast<char>(rng() % 256));
      } else {
        intact.push_back(l);
      }
      lines.push_back(std::move(text));
    }
    TIdFTPListItems items = Load(lines);
    ASSERT_LE(items.Count() + items.UnparsedLines(), lines.size());
    size_t next = 0;
    for (const TIdFTPListItem& item : items.Items())
      if (next < intact.size() && item.FileName == intact[next]->name &&
          item.Size == intact[next]->size)
        ++next;
    ASSERT_EQ(next, intact.size()) << "round " << round << ": lost " << intact[next]->text;
  }
}

}  // namespace
}  // namespace hemlo::ftp

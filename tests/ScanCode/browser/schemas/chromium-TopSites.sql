-- The tables and indexes of a profile made by Debian's Chromium 156.0.8078.129 built on Debian GNU/Linux 12 (bookworm).
CREATE TABLE meta(key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
CREATE TABLE top_sites(url TEXT NOT NULL PRIMARY KEY,url_rank INTEGER NOT NULL,title TEXT NOT NULL);

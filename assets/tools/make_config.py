#!/usr/bin/env python3
"""Writes the default server configuration into assets/config/, pointing at the embedded
exchange ("tarn-embedded"), with the addresses enciphered by `tarnctl encipher`.

usage: make_config.py PATH/TO/tarnctl
The files are GBK, as the terminal reads them."""
import os
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "config")


def enc(tarnctl, text):
    return subprocess.check_output([tarnctl, "encipher", text], text=True).strip()


def write(name, text):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(text.replace("\n", "\r\n").encode("gbk"))


def main():
    tarnctl = sys.argv[1]
    trade = enc(tarnctl, "tarn-embedded@7200")
    quote = enc(tarnctl, "tarn-embedded@7100")
    write("tradeserverlist.ini",
          "[value]\nserverCount=1\n\n"
          "[server1]\nname=Tarn模拟交易所\ntrade_addr=%s\ncloud_addr=%s\n" % (trade, trade))
    write("quoteserver.ini", "[acc]\nuser=opers\npwd=472quark918\n\n[server]\naddr=%s\n" % quote)
    write("update.ini", "[update]\nstrver=1.0.0.1\n")


if __name__ == "__main__":
    main()

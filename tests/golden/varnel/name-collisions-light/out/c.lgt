café /
option _x0061_ctive="yes" active="true" /
option _x0041_CTIVE="false" active="true"
  comment data=" old" /
/option
option comment="c" active="true"
  comment data=" note" /
/option
option _x0063_omment="c" comment=" gone" active="false" /
option _x0078_mlns="x" active="true" /
_x0062_lank /
_x006C_ine /
option _x0000_="value" active="true" /
option key_x005F_x0041_="escape-shaped" active="true" /
option bad_xDCFF_byte="1" active="true" /
blank /

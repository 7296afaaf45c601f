main /
option color="red" active="true"
  comment data=" note" /
/option
blank /

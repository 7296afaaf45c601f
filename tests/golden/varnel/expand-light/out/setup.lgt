title name="main" /
option name="color" value="red" active="true"
  comment data=" note" /
/option
blank /

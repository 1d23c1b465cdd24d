# The sample database of the examples: a small shop with customers, their orders and notes.
# Load it with the msql monitor into a new database:
#   msqladmin create shop
#   msql shop < examples/shop.sql

create table customers (id int not null, name char(24) not null, city char(16) not null,
                        since date, credit money)\g
create unique index cust_id on customers (id)\g
create index cust_name on customers (name)\g
create index cust_city on customers (city, name)\g

insert into customers values (1, 'Anna Berg', 'Oslo', '12-Mar-1996', 250.00);
insert into customers values (2, 'Carl Dorn', 'Bonn', '01-Jul-1997', 75.50);
insert into customers values (3, 'Ruth Mills', 'Leeds', '23-Nov-1995', 1200.00);
insert into customers values (4, 'Dara O\'Brien', 'Cork', '05-Feb-1999', 0.00);
insert into customers values (5, 'Ben Okafor', 'Lagos', '30-Aug-1998', 310.25);
insert into customers values (6, 'Eva Lind', 'Oslo', '14-Jan-2000', 90.00);
insert into customers values (7, 'Marta Ruiz', 'Madrid', '09-Sep-1997', 540.75);
insert into customers values (8, 'Hugo Lenz', 'Bonn', '17-May-1996', 15.00);

create table orders (id int not null, customer int not null, ordered date, item char(24),
                     qty int, price money)\g
create unique index order_id on orders (id)\g
create index order_customer on orders (customer, id)\g

insert into orders values (101, 1, '02-Jan-2000', 'Desk lamp', 2, 24.90);
insert into orders values (102, 3, '04-Jan-2000', 'Office chair', 1, 149.00);
insert into orders values (103, 1, '11-Jan-2000', 'Paper, 500 sheets', 10, 4.75);
insert into orders values (104, 2, '12-Jan-2000', 'Stapler', 1, 8.20);
insert into orders values (105, 5, '20-Jan-2000', 'Bookshelf', 1, 89.00);
insert into orders values (106, 3, '21-Jan-2000', 'Whiteboard', 2, 59.50);
insert into orders values (107, 7, '25-Jan-2000', 'Desk', 1, 199.00);
insert into orders values (108, 1, '28-Jan-2000', 'Ink cartridge', 4, 18.30);
insert into orders values (109, 6, '01-Feb-2000', 'Desk lamp', 1, 24.90);
insert into orders values (110, 3, '03-Feb-2000', 'Paper, 500 sheets', 20, 4.50);

create table notes (id int not null, customer int not null, written date, body text(40))\g
create unique index note_id on notes (id)\g

insert into notes values (1, 1, '03-Jan-2000', 'Prefers delivery before noon.');
insert into notes values (2, 3, '05-Jan-2000', 'Large account. Invoices go to the finance office on the second floor, attention of Mr. Hall; orders above 500.00 need his signature before they ship.');
insert into notes values (3, 4, '07-Feb-2000', NULL);
